// Touchstone reading and writing speed on a 4-port file of 20001 points,
// beside reading the same bytes without parsing them.
#include "device/touchstoneio.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace {

constexpr uint Ports = 4;
constexpr size_t Points = 20001;

TouchstoneData makeData()
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> part(-1.0, 1.0);
    TouchstoneData data;
    data.portCount = Ports;
    data.impedance = 50.0;
    data.points.reserve(Points);
    for (size_t k = 0; k < Points; ++k) {
        TouchstonePoint point;
        point.frequency = 1e6 + 1e5 * double(k);
        point.size = Ports;
        for (uint i = 0; i < Ports * Ports; ++i)
            point.matrix.emplace_back(part(rng), part(rng));
        data.points.push_back(std::move(point));
    }
    return data;
}

struct Fixture
{
    QTemporaryDir dir;
    TouchstoneData data = makeData();
    QString path = dir.filePath(QStringLiteral("bench.s4p"));
    int64_t bytes = 0;

    Fixture()
    {
        TouchstoneIO io;
        if (io.write(path, data))
            bytes = QFile(path).size();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_TouchstoneWrite(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString path = f.dir.filePath(QStringLiteral("written.s4p"));
    TouchstoneIO io;
    for (auto _ : state) {
        if (!io.write(path, f.data)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
}
BENCHMARK(BM_TouchstoneWrite)->Unit(benchmark::kMillisecond);

void BM_TouchstoneRead(benchmark::State &state)
{
    Fixture &f = fixture();
    TouchstoneIO io;
    for (auto _ : state) {
        auto data = io.read(f.path);
        if (!data || data->points.size() != Points) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
}
BENCHMARK(BM_TouchstoneRead)->Unit(benchmark::kMillisecond);

// The floor for reading: the same bytes, opened and read, not parsed.
void BM_ReadBytesOnly(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        QFile file(f.path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("open failed");
            break;
        }
        QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
}
BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond);

} // namespace

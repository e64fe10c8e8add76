// Touchstone reading and writing speed on files of 1, 2 and 4 ports, in the
// program's own layout and in the compact one of other tools, beside reading
// the same bytes without parsing them, and the reader's peak heap use
// against its goal of at most three times the file's size.
#include "device/touchstoneio.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

// ---------------------------------------------------------- heap accounting
// Every allocation of this process goes through glibc's allocator and is
// counted by its usable size, so the peak of a read is seen whatever
// allocates (the reader, Qt or the standard library).
extern "C" {
void *__libc_malloc(size_t size);
void __libc_free(void *pointer);
void *__libc_realloc(void *pointer, size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
}

namespace {

std::atomic<int64_t> heapNow{0};
std::atomic<int64_t> heapPeak{0};

void counted(void *pointer)
{
    if (!pointer)
        return;
    const int64_t now = heapNow += static_cast<int64_t>(malloc_usable_size(pointer));
    int64_t peak = heapPeak.load(std::memory_order_relaxed);
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {}
}

void released(void *pointer)
{
    if (pointer)
        heapNow -= static_cast<int64_t>(malloc_usable_size(pointer));
}

} // namespace

extern "C" {
void *malloc(size_t size)
{
    void *pointer = __libc_malloc(size);
    counted(pointer);
    return pointer;
}

void free(void *pointer)
{
    released(pointer);
    __libc_free(pointer);
}

void *calloc(size_t count, size_t size)
{
    void *pointer = __libc_calloc(count, size);
    counted(pointer);
    return pointer;
}

void *realloc(void *pointer, size_t size)
{
    const int64_t old = pointer ? static_cast<int64_t>(malloc_usable_size(pointer)) : 0;
    void *moved = __libc_realloc(pointer, size);
    if (moved || size == 0) {
        heapNow -= old;
        counted(moved);
    }
    return moved;
}

void *memalign(size_t alignment, size_t size)
{
    void *pointer = __libc_memalign(alignment, size);
    counted(pointer);
    return pointer;
}

void *aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size)
{
    void *pointer = memalign(alignment, size);
    if (!pointer)
        return 12; // ENOMEM
    *out = pointer;
    return 0;
}
}

namespace {

constexpr double PeakGoal = 3.0; // peak heap during a read, in file sizes

size_t pointsFor(uint ports)
{
    return ports == 1 ? 200001 : ports == 2 ? 100001 : 20001;
}

TouchstoneData makeData(uint ports)
{
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> part(-1.0, 1.0);
    TouchstoneData data;
    data.portCount = ports;
    data.impedance = 50.0;
    const size_t points = pointsFor(ports);
    data.points.reserve(points);
    for (size_t k = 0; k < points; ++k) {
        TouchstonePoint point;
        point.frequency = 1e6 + 1e5 * double(k);
        point.size = ports;
        for (uint i = 0; i < ports * ports; ++i)
            point.matrix.emplace_back(part(rng), part(rng));
        data.points.push_back(std::move(point));
    }
    return data;
}

// The same data as another tool writes them: frequencies in GHz, magnitude
// and angle with six significant digits, one point a line. Fewer bytes a
// value than the program's own files, so the points' memory weighs more
// against the file's size.
bool writeCompact(const QString &path, const TouchstoneData &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray out = "! written by another tool\n# GHz S MA R 50\n";
    char buffer[64];
    auto add = [&](double value) {
        const int length = std::snprintf(buffer, sizeof buffer, "%.6g ", value);
        out.append(buffer, length);
    };
    const uint n = data.portCount;
    for (const TouchstonePoint &point : data.points) {
        add(point.frequency / 1e9);
        for (uint k = 0; k < n * n; ++k) {
            // Two-port files list S11, S21, S12, S22.
            const uint index = n == 2 ? (k % 2) * 2 + k / 2 : k;
            add(std::abs(point.matrix[index]));
            add(std::arg(point.matrix[index]) * 180.0 / 3.14159265358979323846);
        }
        out.back() = '\n';
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return file.write(out) == out.size();
}

struct Fixture
{
    explicit Fixture(uint ports, bool compact = false)
        : data(makeData(ports)),
          path(dir.filePath(QStringLiteral("bench.s%1p").arg(ports)))
    {
        TouchstoneIO io;
        if (compact ? writeCompact(path, data) : io.write(path, data))
            bytes = QFile(path).size();
    }

    QTemporaryDir dir;
    TouchstoneData data;
    QString path;
    int64_t bytes = 0;
};

// Files of the program's own layout for 1, 2 and 4 ports; 101, 102 and 104
// the same data in the compact layout of writeCompact.
Fixture &fixture(uint key)
{
    static std::map<uint, std::unique_ptr<Fixture>> fixtures;
    auto &f = fixtures[key];
    if (!f)
        f = std::make_unique<Fixture>(key % 100, key > 100);
    return *f;
}

void BM_TouchstoneWrite(benchmark::State &state)
{
    Fixture &f = fixture(static_cast<uint>(state.range(0)));
    const QString path = f.dir.filePath(QStringLiteral("written.s%1p").arg(state.range(0)));
    TouchstoneIO io;
    for (auto _ : state) {
        if (!io.write(path, f.data)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
}
BENCHMARK(BM_TouchstoneWrite)->Arg(4)->Unit(benchmark::kMillisecond);

// Reading speed, and the peak heap above what was in use before the read,
// in file sizes (peak_per_size) and against the goal (peak_vs_goal, at
// most 1 meets it).
void BM_TouchstoneRead(benchmark::State &state)
{
    const auto key = static_cast<uint>(state.range(0));
    const uint ports = key % 100;
    Fixture &f = fixture(key);
    TouchstoneIO io;
    int64_t worst = 0;
    for (auto _ : state) {
        const int64_t before = heapNow.load();
        heapPeak = before;
        auto data = io.read(f.path);
        worst = std::max(worst, heapPeak.load() - before);
        if (!data || data->points.size() != pointsFor(ports)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
    const double perSize = f.bytes > 0 ? double(worst) / double(f.bytes) : 0.0;
    state.counters["file_MB"] = double(f.bytes) / 1e6;
    state.counters["peak_per_size"] = perSize;
    state.counters["peak_vs_goal"] = perSize / PeakGoal;
}
BENCHMARK(BM_TouchstoneRead)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
// The compact files of another tool (arguments 100 + the port count).
BENCHMARK(BM_TouchstoneRead)
    ->Name("BM_TouchstoneReadCompact")
    ->Arg(101)
    ->Arg(102)
    ->Arg(104)
    ->Unit(benchmark::kMillisecond);

// The floor for reading: the same bytes, opened and read, not parsed.
void BM_ReadBytesOnly(benchmark::State &state)
{
    Fixture &f = fixture(static_cast<uint>(state.range(0)));
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
BENCHMARK(BM_ReadBytesOnly)->Arg(4)->Unit(benchmark::kMillisecond);

} // namespace

// Touchstone reading and writing speed on files of 1, 2, 4 and 9 ports, in
// the program's own layout and in the compact one of other tools, beside
// reading the same bytes without parsing them and beside the plain reader
// the present one replaced, and the reader's peak heap use against its goal
// of at most three times the file's size.
#include "benchratios.h"
#include "device/touchstoneio.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

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
constexpr double SpeedGoal = 450.0; // MB/s reading full-precision files

size_t pointsFor(uint ports)
{
    return ports == 1 ? 200001 : ports == 2 ? 100001 : ports == 4 ? 20001 : 4001;
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

// Files of the program's own layout for 1, 2, 4 and 9 ports; 101, 102, 104
// and 109 the same data in the compact layout of writeCompact.
Fixture &fixture(uint key)
{
    static std::map<uint, std::unique_ptr<Fixture>> fixtures;
    auto &f = fixtures[key];
    if (!f)
        f = std::make_unique<Fixture>(key % 100, key > 100);
    return *f;
}

// ------------------------------------------------ the reader it replaced
// The plain form of the reader before the present one: the whole file read
// at once, split at line feeds, each line cut at its comment and split at
// blanks, every token converted and the points filled in, with none of the
// present reader's checks and reasons. Options, comments and RI or MA data
// as the benchmark's files hold them.

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::optional<double> parseNumber(const char *begin, const char *end)
{
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '+' || *begin == '-'))
            return std::nullopt;
    }
    if (begin == end)
        return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end)
        return std::nullopt;
    return value;
}

bool appendTokens(const char *begin, const char *end, std::vector<double> &out)
{
    const char *p = begin;
    while (p != end) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            break;
        const char *tokenEnd = p;
        while (tokenEnd != end && !isBlank(*tokenEnd))
            ++tokenEnd;
        const auto value = parseNumber(p, tokenEnd);
        if (!value)
            return false;
        out.push_back(*value);
        p = tokenEnd;
    }
    return true;
}

std::optional<TouchstonePoint> pointFromValues(const std::vector<double> &values, TouchstoneData::Format format,
                                               double unit, size_t ports)
{
    const size_t pairs = (values.size() - 1) / 2;
    if (values.size() % 2 == 0 || pairs != ports * ports)
        return std::nullopt;
    TouchstonePoint point;
    point.frequency = values[0] * unit;
    point.size = static_cast<int64_t>(ports);
    point.matrix.assign(pairs, std::complex<double>());
    for (size_t k = 0; k < pairs; ++k) {
        const double a = values[2 * k + 1];
        const double b = values[2 * k + 2];
        std::complex<double> value(a, b);
        if (format == TouchstoneData::Format::MA) {
            const double angle = b * 3.14159265358979323846 / 180.0;
            value = {a * std::cos(angle), a * std::sin(angle)};
        }
        point.matrix[ports == 2 ? (k % 2) * 2 + k / 2 : k] = value;
    }
    return point;
}

std::optional<TouchstoneData> referenceRead(const QString &path, size_t ports)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    const size_t valuesPerPoint = 2 * ports * ports + 1;
    TouchstoneData data = TouchstoneIO::parseOptionLine(QString());
    double unit = 1e9;
    std::vector<double> pending;
    pending.reserve(valuesPerPoint);
    while (p < end) {
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', end - p));
        if (!lineEnd)
            lineEnd = end;
        const char *b = p;
        const char *e = lineEnd;
        p = lineEnd < end ? lineEnd + 1 : end;
        if (const void *comment = std::memchr(b, '!', e - b))
            e = static_cast<const char *>(comment);
        while (b != e && isBlank(*b))
            ++b;
        while (e != b && isBlank(*(e - 1)))
            --e;
        if (b == e)
            continue;
        if (*b == '#') {
            data = TouchstoneIO::parseOptionLine(QString::fromUtf8(b, static_cast<int>(e - b)));
            unit = data.frequencyUnit == TouchstoneData::FrequencyUnit::Hz ? 1.0 : 1e9;
            continue;
        }
        if (!appendTokens(b, e, pending) || pending.size() > valuesPerPoint)
            return std::nullopt;
        if (pending.size() < valuesPerPoint)
            continue;
        auto point = pointFromValues(pending, data.format, unit, ports);
        if (!point)
            return std::nullopt;
        data.points.push_back(std::move(*point));
        pending.clear();
    }
    if (!pending.empty() || data.points.empty())
        return std::nullopt;
    return data;
}

// ------------------------------------------------------------ benchmarks

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
BENCHMARK(BM_TouchstoneRead)->Arg(1)->Arg(2)->Arg(4)->Arg(9)->Unit(benchmark::kMillisecond);
// The compact files of another tool (arguments 100 + the port count).
BENCHMARK(BM_TouchstoneRead)
    ->Name("BM_TouchstoneReadCompact")
    ->Arg(101)
    ->Arg(102)
    ->Arg(104)
    ->Arg(109)
    ->Unit(benchmark::kMillisecond);

// The replaced reader on the same files.
void BM_ReplacedReader(benchmark::State &state)
{
    const auto key = static_cast<uint>(state.range(0));
    Fixture &f = fixture(key);
    for (auto _ : state) {
        auto data = referenceRead(f.path, key % 100);
        if (!data || data->points.size() != pointsFor(key % 100)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(data);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * f.bytes);
}
BENCHMARK(BM_ReplacedReader)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(9)
    ->Arg(101)
    ->Arg(102)
    ->Arg(104)
    ->Arg(109)
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
BENCHMARK(BM_ReadBytesOnly)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Arg(9)
    ->Arg(101)
    ->Arg(102)
    ->Arg(104)
    ->Arg(109)
    ->Unit(benchmark::kMillisecond);

const std::vector<BenchRatios::Ratio> ratios = {
    // At most as long as the reader it replaced, on every file.
    {"BM_TouchstoneRead/1", "BM_ReplacedReader/1", 1.0},
    {"BM_TouchstoneRead/2", "BM_ReplacedReader/2", 1.0},
    {"BM_TouchstoneRead/4", "BM_ReplacedReader/4", 1.0},
    {"BM_TouchstoneRead/9", "BM_ReplacedReader/9", 1.0},
    {"BM_TouchstoneReadCompact/101", "BM_ReplacedReader/101", 1.0},
    {"BM_TouchstoneReadCompact/102", "BM_ReplacedReader/102", 1.0},
    {"BM_TouchstoneReadCompact/104", "BM_ReplacedReader/104", 1.0},
    {"BM_TouchstoneReadCompact/109", "BM_ReplacedReader/109", 1.0},
    // Against the bare read of the same bytes: how much parsing costs.
    {"BM_TouchstoneRead/1", "BM_ReadBytesOnly/1"},
    {"BM_TouchstoneRead/2", "BM_ReadBytesOnly/2"},
    {"BM_TouchstoneRead/4", "BM_ReadBytesOnly/4"},
    {"BM_TouchstoneRead/9", "BM_ReadBytesOnly/9"},
    {"BM_TouchstoneReadCompact/101", "BM_ReadBytesOnly/101"},
    {"BM_TouchstoneReadCompact/102", "BM_ReadBytesOnly/102"},
    {"BM_TouchstoneReadCompact/104", "BM_ReadBytesOnly/104"},
    {"BM_TouchstoneReadCompact/109", "BM_ReadBytesOnly/109"},
};

// The ratios, then the reading speed of every file beside the bare read of
// its bytes, and the peak heap of every read against the goal.
class Reporter : public BenchRatios::Reporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        BenchRatios::Reporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median)
                continue;
            Figures &f = figures[run.run_name.str()];
            if (!median && f.fromMedian)
                continue;
            f.fromMedian = median;
            const auto get = [&](const char *name) {
                const auto it = run.counters.find(name);
                return it == run.counters.end() ? -1.0 : double(it->second);
            };
            f.bytesPerSecond = get("bytes_per_second");
            f.peakPerSize = get("peak_per_size");
        }
    }

    void printFigures() const
    {
        std::printf("\n%-30s %10s %12s %8s %8s   %s\n", "read", "MB/s", "bare MB/s", "ratio", "goal", "");
        for (const auto &[name, f] : figures) {
            if (name.rfind("BM_TouchstoneRead", 0) != 0)
                continue;
            const std::string key = name.substr(name.find('/') + 1);
            const auto bare = figures.find("BM_ReadBytesOnly/" + key);
            const double mbs = f.bytesPerSecond / 1e6;
            const double bareMbs = bare == figures.end() ? 0.0 : bare->second.bytesPerSecond / 1e6;
            // The goal holds for the program's own files, written in full
            // precision; the compact ones have three times the values a byte.
            const bool full = std::stoi(key) < 100;
            std::printf("%-30s %10.0f %12.0f %8.2f %8s   %s\n", name.c_str(), mbs, bareMbs,
                        bareMbs > 0 ? bareMbs / mbs : 0.0, full ? ">= 450" : "-",
                        full ? (mbs >= SpeedGoal ? "met" : "NOT MET") : "");
        }
        std::printf("\n%-30s %14s %8s   %s\n", "peak heap of a read", "in file sizes", "goal", "");
        for (const auto &[name, f] : figures) {
            if (f.peakPerSize < 0)
                continue;
            std::printf("%-30s %14.2f %8.1f   %s\n", name.c_str(), f.peakPerSize, PeakGoal,
                        f.peakPerSize <= PeakGoal ? "met" : "NOT MET");
        }
        std::fflush(stdout);
    }

private:
    struct Figures
    {
        double bytesPerSecond = 0.0;
        double peakPerSize = -1.0;
        bool fromMedian = false;
    };
    std::map<std::string, Figures> figures;
};

} // namespace

int main(int argc, char **argv)
{
    // Every read runs on a heap in the same state: with glibc's thresholds
    // left to adjust themselves, whichever read first frees the largest
    // block raises them and is spared regrowing the heap (and its page
    // faults) ever after, which says nothing about the reader.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(ratios);
    reporter.printFigures();
    benchmark::Shutdown();
    return 0;
}

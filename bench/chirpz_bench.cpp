// The chirp-z transform against the plain FFT of the padded length L it is
// built from: at most 8 FFTs' time at 201 points and 4.5 above (two FFTs
// plus O(N) work when the chirp kernel is kept, three when it is made).
#include "algorithms/chirpz.h"
#include "algorithms/fft.h"

#include "bench/benchratios.h"

#include <benchmark/benchmark.h>

#include <fftw3.h>

#include <cmath>

using namespace Algorithms;

static void BM_ChirpZ(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    ComplexVector x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = {std::cos(0.01 * i), std::sin(0.02 * i)};
    const RealVector w(n, 1.0);
    const Complex A = std::polar(1.0, 0.1), W = std::polar(1.0, -2 * M_PI / (4.0 * n));
    for (auto _ : state)
        benchmark::DoNotOptimize(chirpZTransform(x, A, W, w, GridMode::LowPass));
    state.counters["L"] = static_cast<double>(nextPowerOfTwo(2 * n - 1));
}

// One FFT of the padded length (planned outside the loop, as the floor).
static void BM_FftFloor(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const size_t L = nextPowerOfTwo(2 * n - 1);
    FftBuffer buffer(L);
    FftPlan plan(buffer, FFTW_FORWARD);
    for (size_t i = 0; i < L; ++i)
        buffer[i] = {std::cos(0.01 * i), 0.0};
    for (auto _ : state) {
        plan.execute(buffer);
        benchmark::ClobberMemory();
    }
    state.counters["L"] = static_cast<double>(L);
}

BENCHMARK(BM_ChirpZ)->Arg(201)->Arg(1601)->Arg(10001)->Arg(20001)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftFloor)->Arg(201)->Arg(1601)->Arg(10001)->Arg(20001)->Unit(benchmark::kMicrosecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_ChirpZ/201", "BM_FftFloor/201", 8.0},
    {"BM_ChirpZ/1601", "BM_FftFloor/1601", 4.5},
    {"BM_ChirpZ/10001", "BM_FftFloor/10001", 4.5},
    {"BM_ChirpZ/20001", "BM_FftFloor/20001", 4.5},
}))

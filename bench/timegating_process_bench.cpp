// The whole time-gating 2x-thru (impulse response, gating, step response,
// fixture calculation and impedance conversion of both ports) at 201, 1601
// and 10001 points on a harmonic grid up to 20 GHz, beside the FFTs alone.
//
// The FFT floor is the transforms the calculation is built from: 18 chirp-z
// transforms (two impulse passes, two gating records, two step responses
// with their reference levels, and the DC estimates of the impulse, step,
// gate-centre and gating stages), each three FFTs of the padded length
// L = nextPowerOfTwo(2K - 1) with K = 2N + 1, plus three K-point FFTs per
// gated reflection. Goal: the whole calculation within twice its floor at
// 1601 and 10001 points.

#include "algorithms/fft.h"

#include "bench/benchratios.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <fftw3.h>

using namespace Algorithms;

namespace {

void BM_TimeGateThru(benchmark::State &state)
{
    BenchSupport::timeGateThru(state);
}

void BM_TimeGateThruFftFloor(benchmark::State &state)
{
    const size_t n = static_cast<size_t>(state.range(0));
    const size_t k = 2 * n + 1;
    const size_t l = nextPowerOfTwo(2 * k - 1);
    FftBuffer padded(l), twoSided(k);
    for (size_t i = 0; i < l; ++i)
        padded[i] = Complex(1.0 / (1.0 + static_cast<double>(i)), 0.5);
    for (size_t i = 0; i < k; ++i)
        twoSided[i] = Complex(0.5, 1.0 / (1.0 + static_cast<double>(i)));
    FftPlan paddedPlan(padded, FFTW_BACKWARD);
    FftPlan twoSidedPlan(twoSided, FFTW_BACKWARD);
    for (auto _ : state) {
        for (int i = 0; i < 18 * 3; ++i)
            paddedPlan.execute(padded);
        for (int i = 0; i < 2 * 3; ++i)
            twoSidedPlan.execute(twoSided);
        benchmark::DoNotOptimize(padded.data());
        benchmark::DoNotOptimize(twoSided.data());
        benchmark::ClobberMemory();
    }
    state.counters["L"] = static_cast<double>(l);
    state.counters["K"] = static_cast<double>(k);
}

} // namespace

BENCHMARK(BM_TimeGateThru)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TimeGateThruFftFloor)->Arg(201)->Arg(1601)->Arg(10001)->Unit(benchmark::kMillisecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_TimeGateThru/201", "BM_TimeGateThruFftFloor/201", 0.0},
    {"BM_TimeGateThru/1601", "BM_TimeGateThruFftFloor/1601", 2.0},
    {"BM_TimeGateThru/10001", "BM_TimeGateThruFftFloor/10001", 2.0},
}))

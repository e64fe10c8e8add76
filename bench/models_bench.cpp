// The model-based fits on realistic 2x-thru data at 201 and 1601 points:
// the NumExp model of a fixture reflection on the two-sided low-pass grid
// (the filtering method fits it twice per run), the spline smoothing, and a
// full per-point bisection sweep. Each fit is set beside its plain
// reference from tools/synthnet, as it was before it was made faster: the
// NumExp fit beside the fit that factors a dense Gram matrix by LU at every
// count it tries, the sweep beside the sweep with an optimiser made afresh
// for every point (goal for both: at most a third of the reference's time
// at 1601 points). The NumExp fit is also set beside one dense LU of its
// Gram matrix at the count it chooses (how many of them the fit now costs).
#include "algorithms/bisectionfit.h"
#include "algorithms/numexp.h"
#include "algorithms/smoothing.h"

#include "bench/benchratios.h"
#include "synthnet/referencefits.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

struct TwoSided
{
    RealVector grid;
    ComplexVector reflection;
};

// The thru's S11 made two-sided, as the filtering method fits it.
TwoSided twoSidedReflection(size_t points)
{
    const SParametersTwoPort s = SynthNet::referenceThru(points);
    TwoSided t;
    for (size_t i = points; i-- > 0;) {
        t.grid.push_back(-s.frequency()[i]);
        t.reflection.push_back(std::conj(s.s11()[i]));
    }
    t.grid.push_back(0.0);
    t.reflection.push_back(s.s11()[0].real());
    t.grid.insert(t.grid.end(), s.frequency().begin(), s.frequency().end());
    t.reflection.insert(t.reflection.end(), s.s11().begin(), s.s11().end());
    return t;
}

const RealVector kNodes = {0.0, 4 * SynthNet::kReferenceThruDelay};

} // namespace

static void BM_NumExpTwoSided(benchmark::State &state)
{
    const TwoSided t = twoSidedReflection(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(fitNumExpModel(t.grid, t.reflection, kNodes));
    state.counters["count"] = numExpCoefficientCount(t.grid, kNodes).value_or(-1);
}
BENCHMARK(BM_NumExpTwoSided)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

// The reference: a dense LU of the Gram matrix at every count tried.
static void BM_NumExpTwoSidedDenseLu(benchmark::State &state)
{
    const TwoSided t = twoSidedReflection(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(SynthNet::numExpReferenceFit(t.grid, t.reflection, kNodes));
}
BENCHMARK(BM_NumExpTwoSidedDenseLu)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_NumExpOneDenseLu(benchmark::State &state)
{
    const TwoSided t = twoSidedReflection(static_cast<size_t>(state.range(0)));
    const int count = numExpCoefficientCount(t.grid, kNodes).value_or(2);
    for (auto _ : state)
        benchmark::DoNotOptimize(SynthNet::numExpReferenceCriterion(t.grid, kNodes, count));
}
BENCHMARK(BM_NumExpOneDenseLu)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_Smoothing(benchmark::State &state)
{
    const SParametersTwoPort s = SynthNet::referenceThru(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(smoothMagnitudePhase(s.frequency(), s.s21(), SmoothFit::Free, 0, 4 * 50e-12));
}
BENCHMARK(BM_Smoothing)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_BisectionSweep(benchmark::State &state)
{
    const SParametersTwoPort s = SynthNet::referenceThru(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (size_t i = 0; i < s.frequency().size(); ++i)
            benchmark::DoNotOptimize(bisectionFit(SynthNet::bisectionInputAt(s, i)));
    }
}
BENCHMARK(BM_BisectionSweep)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

// The reference: one optimiser made for each point.
static void BM_BisectionSweepFreshOptimiser(benchmark::State &state)
{
    const SParametersTwoPort s = SynthNet::referenceThru(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (size_t i = 0; i < s.frequency().size(); ++i)
            benchmark::DoNotOptimize(SynthNet::bisectionReferenceFit(SynthNet::bisectionInputAt(s, i)));
    }
}
BENCHMARK(BM_BisectionSweepFreshOptimiser)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_NumExpTwoSided/201", "BM_NumExpTwoSidedDenseLu/201", 0.0},
    {"BM_NumExpTwoSided/1601", "BM_NumExpTwoSidedDenseLu/1601", 1.0 / 3.0},
    {"BM_NumExpTwoSided/201", "BM_NumExpOneDenseLu/201", 0.0},
    {"BM_NumExpTwoSided/1601", "BM_NumExpOneDenseLu/1601", 0.0},
    {"BM_BisectionSweep/201", "BM_BisectionSweepFreshOptimiser/201", 0.0},
    {"BM_BisectionSweep/1601", "BM_BisectionSweepFreshOptimiser/1601", 1.0 / 3.0},
}))

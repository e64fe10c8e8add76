// The model-based fits on realistic 2x-thru data at 201 and 1601 points:
// the NumExp model of a fixture reflection on the two-sided low-pass grid
// (the filtering method fits it twice per run), the spline smoothing, and a
// full per-point bisection sweep. The sweep is set beside the same sweep
// with an optimiser made afresh for every point, as it was before (goal: at
// most a third of its time at 1601 points); the NumExp fit beside one
// factorisation of its Gram matrix at the count it chooses (how many such
// factorisations the fit costs).
#include "algorithms/bisectionfit.h"
#include "algorithms/numexp.h"
#include "algorithms/smoothing.h"

#include "bench/benchratios.h"
#include "synthnet/synthnet.h"

#include "optimization.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

constexpr double kFixtureDelay = 1e-9;

SynthNet::Network fixture(const RealVector &f)
{
    return SynthNet::cascade({SynthNet::shuntGC(f, 0.0, 0.1e-12), SynthNet::line(f, {55.0, kFixtureDelay, 0.5}),
                              SynthNet::seriesRL(f, 0.2, 0.1e-9)});
}

SParametersTwoPort thru(size_t points)
{
    const RealVector f = SynthNet::harmonicGrid(20e9 / double(points), points);
    return SynthNet::toS(SynthNet::twoXThru(fixture(f)));
}

} // namespace

static void BM_NumExpTwoSided(benchmark::State &state)
{
    const SParametersTwoPort s = thru(static_cast<size_t>(state.range(0)));
    const size_t n = s.frequency().size();
    RealVector g;
    ComplexVector x;
    for (size_t i = n; i-- > 0;) {
        g.push_back(-s.frequency()[i]);
        x.push_back(std::conj(s.s11()[i]));
    }
    g.push_back(0.0);
    x.push_back(s.s11()[0].real());
    g.insert(g.end(), s.frequency().begin(), s.frequency().end());
    x.insert(x.end(), s.s11().begin(), s.s11().end());
    const RealVector nodes = {0.0, 4 * kFixtureDelay};
    for (auto _ : state)
        benchmark::DoNotOptimize(fitNumExpModel(g, x, nodes));
    state.counters["count"] = numExpCoefficientCount(g, nodes).value_or(-1);
}
BENCHMARK(BM_NumExpTwoSided)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_NumExpOneFactorisation(benchmark::State &state)
{
    const SParametersTwoPort s = thru(static_cast<size_t>(state.range(0)));
    const size_t n = s.frequency().size();
    RealVector g;
    for (size_t i = n; i-- > 0;)
        g.push_back(-s.frequency()[i]);
    g.push_back(0.0);
    g.insert(g.end(), s.frequency().begin(), s.frequency().end());
    const RealVector nodes = {0.0, 4 * kFixtureDelay};
    const int count = numExpCoefficientCount(g, nodes).value_or(2);
    for (auto _ : state)
        benchmark::DoNotOptimize(numExpCriterion(g, nodes, count));
}
BENCHMARK(BM_NumExpOneFactorisation)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_Smoothing(benchmark::State &state)
{
    const SParametersTwoPort s = thru(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(smoothMagnitudePhase(s.frequency(), s.s21(), 0, 0, 4 * 50e-12));
}
BENCHMARK(BM_Smoothing)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

static void BM_BisectionSweep(benchmark::State &state)
{
    const SParametersTwoPort s = thru(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (size_t i = 0; i < s.frequency().size(); ++i) {
            const BisectionInput in = {s.s11()[i].real(), s.s11()[i].imag(), s.s21()[i].real(), s.s21()[i].imag(),
                                       s.s12()[i].real(), s.s12()[i].imag(), s.s22()[i].real(), s.s22()[i].imag()};
            benchmark::DoNotOptimize(bisectionFit(in));
        }
    }
}
BENCHMARK(BM_BisectionSweep)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

// The reference: one optimiser made for each point.
static void BM_BisectionSweepFreshOptimiser(benchmark::State &state)
{
    const SParametersTwoPort s = thru(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        for (size_t i = 0; i < s.frequency().size(); ++i) {
            const Complex st = (s.s12()[i] + s.s21()[i]) / 2.0;
            double data[6] = {s.s11()[i].real(), s.s22()[i].real(), st.real(),
                              s.s11()[i].imag(), s.s22()[i].imag(), st.imag()};
            const Complex t0 = std::sqrt(st);
            alglib::real_1d_array x;
            x.setlength(10);
            for (int k = 0; k < 10; ++k)
                x[k] = 0.0;
            x[0] = t0.real();
            x[1] = t0.imag();
            alglib::minlmstate lm;
            alglib::minlmcreatev(6, x, 1e-4, lm);
            alglib::minlmsetcond(lm, 1e-10, 0);
            alglib::minlmoptimize(lm, bisectionResiduals, nullptr, data);
            alglib::minlmreport report;
            alglib::minlmresults(lm, x, report);
            benchmark::DoNotOptimize(x[0]);
        }
    }
}
BENCHMARK(BM_BisectionSweepFreshOptimiser)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_NumExpTwoSided/201", "BM_NumExpOneFactorisation/201", 0.0},
    {"BM_NumExpTwoSided/1601", "BM_NumExpOneFactorisation/1601", 0.0},
    {"BM_BisectionSweep/201", "BM_BisectionSweepFreshOptimiser/201", 0.0},
    {"BM_BisectionSweep/1601", "BM_BisectionSweepFreshOptimiser/1601", 1.0 / 3.0},
}))

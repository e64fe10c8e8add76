// The model-based fits on realistic 2x-thru data at 201 and 1601 points:
// the NumExp model of a fixture reflection on the two-sided low-pass grid
// (the filtering method fits it twice per run), the spline smoothing, and a
// full per-point bisection sweep.
#include "algorithms/bisectionfit.h"
#include "algorithms/numexp.h"
#include "algorithms/smoothing.h"

#include "synthnet/synthnet.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

constexpr double kFixtureDelay = 1e-9;

SynthNet::Network fixture(const RealVector &f)
{
    return SynthNet::cascade({SynthNet::shuntGC(f, 0.0, 0.1e-12),
                              SynthNet::line(f, {55.0, kFixtureDelay, 0.5}),
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
            const BisectionInput in = {s.s11()[i].real(), s.s11()[i].imag(), s.s21()[i].real(),
                                       s.s21()[i].imag(), s.s12()[i].real(), s.s12()[i].imag(),
                                       s.s22()[i].real(), s.s22()[i].imag()};
            benchmark::DoNotOptimize(bisectionFit(in));
        }
    }
}
BENCHMARK(BM_BisectionSweep)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

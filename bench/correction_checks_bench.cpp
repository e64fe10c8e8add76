// What the checks of the computed models cost, beside the time-gating 2x-thru
// of the same fixture in the same run (BenchSupport::thruOf, harmonic grids
// up to 20 GHz at 201 and 1601 points):
// - the one-standard processes (time gating and filtering of the residual,
//   with and without the spline compensation of the main reflection), each
//   checking its model against the other estimate of the main reflection.
//   Goal: within 1.2 times their ratio to the 2x-thru before those checks
//   were added. That ratio, measured with the processes of that time built
//   from this file (repeated runs, median, one core), is the BEFORE_* figure
//   below; the goal is 1.2 times it.
// - the check of a filtering or bisection model against the time-gated
//   model of the same thru alone. Goal: well below one time-gating 2x-thru
//   (it is two gated reflections and the split).

#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"
#include "algorithms/timegatingtransmission.h"

#include "bench/benchratios.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

SynthNet::Network fixtureOf(size_t n)
{
    const RealVector f = SynthNet::harmonicGrid(20e9 / static_cast<double>(n), n);
    return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12), SynthNet::line(f, {60.0, 200e-12, 0.3}));
}

void BM_TimeGateThru(benchmark::State &state)
{
    BenchSupport::application();
    const SParametersTwoPort thru = BenchSupport::thruOf(static_cast<size_t>(state.range(0)));
    ProcessInputParameters params;
    BenchSupport::FixturePorts ports;
    for (auto _ : state) {
        ProcessTimeGate process;
        process.setParameters(&params);
        process.setFixturesForCalculate(&ports.left, &ports.right);
        process.setInputData(thru);
        if (!process.run()) {
            state.SkipWithError("the calculation failed");
            break;
        }
    }
}

void oneStandard(benchmark::State &state, ProcessFactory::ProcessIndex index, MaxSignalEliminationType signalType)
{
    BenchSupport::application();
    const SParametersOnePort open = SynthNet::terminate(fixtureOf(static_cast<size_t>(state.range(0))), 1.0);
    ProcessInputParameters params;
    BenchSupport::FixturePorts ports;
    for (auto _ : state) {
        const auto process = ProcessFactory::createProcess(index);
        auto *single = qobject_cast<ReflectProcessOpenOrShort *>(process.get());
        single->setParameters(&params);
        single->setFixturesForCalculate(&ports.left);
        single->setInputData(open);
        single->setIsShort(false);
        single->setSignalType(signalType);
        if (!single->run()) {
            state.SkipWithError("the calculation failed");
            break;
        }
    }
}

void BM_OneStandardGate(benchmark::State &state)
{
    oneStandard(state, ProcessFactory::ProcessIndex::TimeGateReflect, MaxSignalEliminationType::TimeGate);
}

void BM_OneStandardCompensated(benchmark::State &state)
{
    oneStandard(state, ProcessFactory::ProcessIndex::TimeGateReflect, MaxSignalEliminationType::Model);
}

void BM_OneStandardFilteringGate(benchmark::State &state)
{
    oneStandard(state, ProcessFactory::ProcessIndex::FilteringReflect, MaxSignalEliminationType::TimeGate);
}

void BM_OneStandardFilteringCompensated(benchmark::State &state)
{
    oneStandard(state, ProcessFactory::ProcessIndex::FilteringReflect, MaxSignalEliminationType::Model);
}

} // namespace

BENCHMARK(BM_TimeGateThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardGate)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardCompensated)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardFilteringGate)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardFilteringCompensated)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_OneStandardGate/201", "BM_TimeGateThru/201", 0.0},
    {"BM_OneStandardGate/1601", "BM_TimeGateThru/1601", 0.0},
    {"BM_OneStandardCompensated/201", "BM_TimeGateThru/201", 0.0},
    {"BM_OneStandardCompensated/1601", "BM_TimeGateThru/1601", 0.0},
    {"BM_OneStandardFilteringGate/201", "BM_TimeGateThru/201", 0.0},
    {"BM_OneStandardFilteringGate/1601", "BM_TimeGateThru/1601", 0.0},
    {"BM_OneStandardFilteringCompensated/201", "BM_TimeGateThru/201", 0.0},
    {"BM_OneStandardFilteringCompensated/1601", "BM_TimeGateThru/1601", 0.0},
}))

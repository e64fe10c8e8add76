// What the checks of the computed models cost, beside the time-gating 2x-thru
// of the same fixture in the same run (BenchSupport::thruOf, harmonic grids
// up to 20 GHz at 201 and 1601 points):
// - the one-standard processes (time gating and filtering of the residual,
//   with and without the spline compensation of the main reflection), each
//   checking its model against the other estimate of the main reflection.
//   Goal: within 1.2 times their ratio to the 2x-thru before those checks
//   were added, the kBefore* figures below.
// - the check of a filtering or bisection model against the time-gated
//   model of the same thru alone. Goal: well below one time-gating 2x-thru
//   (it is two gated reflections and the split).

#include "algorithms/bisectiontransmission.h"
#include "algorithms/filteringtransmission.h"
#include "algorithms/processfactory.h"
#include "algorithms/reflectionprocess.h"

#include "bench/benchratios.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

void BM_TimeGateThru(benchmark::State &state)
{
    BenchSupport::timeGateThru(state);
}

void oneStandard(benchmark::State &state, ProcessFactory::ProcessIndex index, MaxSignalEliminationType signalType)
{
    BenchSupport::application();
    const SParametersOnePort open =
        SynthNet::terminate(BenchSupport::fixtureOf(static_cast<size_t>(state.range(0))), 1.0);
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

// The check of a calculated model against the time-gated split, alone, on
// the models of one run.
template<typename Process>
struct Checked : Process
{
    using TransmissionProcess::compareWithTimeGating;
};

template<typename Process>
void thruCheck(benchmark::State &state)
{
    BenchSupport::application();
    const SParametersTwoPort thru = BenchSupport::thruOf(static_cast<size_t>(state.range(0)));
    ProcessInputParameters params;
    BenchSupport::FixturePorts ports;
    Checked<Process> process;
    process.setParameters(&params);
    process.setFixturesForCalculate(&ports.left, &ports.right);
    process.setInputData(thru);
    if (!process.run()) {
        state.SkipWithError("the calculation failed");
        return;
    }
    for (auto _ : state) {
        process.compareWithTimeGating(QStringLiteral("%1 %2"));
        benchmark::DoNotOptimize(process.takeModelNotices(&ports.left));
        benchmark::DoNotOptimize(process.takeModelNotices(&ports.right));
    }
}

void BM_FilteringCheck(benchmark::State &state)
{
    thruCheck<ProcessFiltering>(state);
}

void BM_BisectionCheck(benchmark::State &state)
{
    thruCheck<ProcessBisect>(state);
}

} // namespace

BENCHMARK(BM_TimeGateThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardGate)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardCompensated)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardFilteringGate)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneStandardFilteringCompensated)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilteringCheck)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BisectionCheck)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

// The one-standard processes' ratios to the time-gating 2x-thru before
// their checks were added (the parent of the commit that added the
// one-standard main-reflection check), measured with this file's
// benchmarks built against that tree: the fastest of 20 repetitions each,
// on one core.
constexpr double kBeforeGate201 = 2.43, kBeforeGate1601 = 2.23;
constexpr double kBeforeCompensated201 = 1.42, kBeforeCompensated1601 = 1.11;
constexpr double kBeforeFilteringGate201 = 3.56, kBeforeFilteringGate1601 = 2.97;
constexpr double kBeforeFilteringCompensated201 = 2.64, kBeforeFilteringCompensated1601 = 1.87;
constexpr double kGoal = 1.2;

BENCH_RATIOS_MAIN((std::vector<BenchRatios::Ratio>{
    {"BM_OneStandardGate/201", "BM_TimeGateThru/201", kGoal *kBeforeGate201},
    {"BM_OneStandardGate/1601", "BM_TimeGateThru/1601", kGoal *kBeforeGate1601},
    {"BM_OneStandardCompensated/201", "BM_TimeGateThru/201", kGoal *kBeforeCompensated201},
    {"BM_OneStandardCompensated/1601", "BM_TimeGateThru/1601", kGoal *kBeforeCompensated1601},
    {"BM_OneStandardFilteringGate/201", "BM_TimeGateThru/201", kGoal *kBeforeFilteringGate201},
    {"BM_OneStandardFilteringGate/1601", "BM_TimeGateThru/1601", kGoal *kBeforeFilteringGate1601},
    {"BM_OneStandardFilteringCompensated/201", "BM_TimeGateThru/201", kGoal *kBeforeFilteringCompensated201},
    {"BM_OneStandardFilteringCompensated/1601", "BM_TimeGateThru/1601", kGoal *kBeforeFilteringCompensated1601},
    // The filtering and bisection checks: a fraction of one time-gating
    // 2x-thru (two of its gated reflections and its split).
    {"BM_FilteringCheck/201", "BM_TimeGateThru/201", 0.5},
    {"BM_FilteringCheck/1601", "BM_TimeGateThru/1601", 0.5},
    {"BM_BisectionCheck/201", "BM_TimeGateThru/201", 0.5},
    {"BM_BisectionCheck/1601", "BM_TimeGateThru/1601", 0.5},
}))

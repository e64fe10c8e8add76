// The whole filtering and bisection 2x-thru (impulse response, gating, step
// response, fixture calculation and impedance conversion of both ports) at
// 201 and 1601 points on a harmonic grid up to 20 GHz. Filtering is
// dominated by the two NumExp fits over 2N + 1 points, bisection by one
// Levenberg-Marquardt fit and one interrupt poll per point.

#include "algorithms/processfactory.h"

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

void runThru(benchmark::State &state, ProcessFactory::ProcessIndex index)
{
    BenchSupport::application();
    const SParametersTwoPort thru = BenchSupport::thruOf(static_cast<size_t>(state.range(0)));
    ProcessInputParameters params;
    BenchSupport::FixturePorts ports;
    for (auto _ : state) {
        const auto process = ProcessFactory::createProcess(index);
        auto *transmission = qobject_cast<TransmissionProcess *>(process.get());
        if (!transmission) {
            state.SkipWithError("no such process");
            break;
        }
        transmission->setParameters(&params);
        transmission->setFixturesForCalculate(&ports.left, &ports.right);
        transmission->setInputData(thru);
        if (!transmission->run()) {
            state.SkipWithError("the calculation failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_FilteringThru(benchmark::State &state)
{
    runThru(state, ProcessFactory::ProcessIndex::Filtering);
}

void BM_BisectionThru(benchmark::State &state)
{
    runThru(state, ProcessFactory::ProcessIndex::Bisect);
}

} // namespace

BENCHMARK(BM_FilteringThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BisectionThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

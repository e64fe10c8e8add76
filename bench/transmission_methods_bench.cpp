// The whole filtering and bisection 2x-thru (impulse response, gating, step
// response, fixture calculation and impedance conversion of both ports) at
// 201 and 1601 points on a harmonic grid up to 20 GHz. Filtering is
// dominated by the two NumExp fits over 2N + 1 points, bisection by one
// Levenberg-Marquardt fit and one interrupt poll per point.

#include "algorithms/processfactory.h"

#include "synthnet/synthnet.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace Algorithms;

namespace {

// isInterrupted() processes events, which needs an application object.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "transmission_methods_bench";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

SParametersTwoPort thruOf(size_t n)
{
    const RealVector f = SynthNet::harmonicGrid(20e9 / static_cast<double>(n), n);
    const auto fixture = SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12),
                                           SynthNet::line(f, {60.0, 200e-12, 0.3}));
    return SynthNet::toS(SynthNet::twoXThru(fixture));
}

void runThru(benchmark::State &state, int index)
{
    ensureApplication();
    const SParametersTwoPort thru = thruOf(static_cast<size_t>(state.range(0)));
    ProcessInputParameters params;
    FixturePort left, right;
    for (FixturePort *port : {&left, &right}) {
        port->setZ0Impedance(50.0);
        port->setConversionType(Z0ConversionSystem);
    }
    for (auto _ : state) {
        const auto process = ProcessFactory::createProcess(index);
        auto *transmission = qobject_cast<TransmissionProcess *>(process.get());
        if (!transmission) {
            state.SkipWithError("no such process");
            break;
        }
        transmission->setParameters(&params);
        transmission->setFixturesForCalculate(&left, &right);
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
    runThru(state, ProcessFactory::Filtering);
}

void BM_BisectionThru(benchmark::State &state)
{
    runThru(state, ProcessFactory::Bisect);
}

} // namespace

BENCHMARK(BM_FilteringThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BisectionThru)->Arg(201)->Arg(1601)->Unit(benchmark::kMillisecond);

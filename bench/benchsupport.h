#pragma once
// Set-up shared by the benchmarks: the application object, and for the
// 2x-thru process benchmarks the synthetic fixture, its thru measurement,
// the two fixture ports and the time-gating 2x-thru they are measured
// against.

#include "algorithms/fixtureport.h"
#include "algorithms/sparameters.h"
#include "algorithms/timegatingtransmission.h"

#include "synthnet/synthnet.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstddef>

namespace BenchSupport {

// Event loops, queued signals and isInterrupted() (which processes events)
// need an application object; it is made on first use and lives until the
// program ends.
inline QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "bench";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// A shunt-C, 60 ohm line fixture at n points of a harmonic grid up to
// 20 GHz.
inline SynthNet::Network fixtureOf(size_t n)
{
    const Algorithms::RealVector f = SynthNet::harmonicGrid(20e9 / static_cast<double>(n), n);
    return SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12), SynthNet::line(f, {60.0, 200e-12, 0.3}));
}

// The 2x-thru of that fixture.
inline Algorithms::SParametersTwoPort thruOf(size_t n)
{
    return SynthNet::toS(SynthNet::twoXThru(fixtureOf(n)));
}

// The two fixture ports the calculation fills: 50 ohm, converted to the
// analyser's port impedance.
struct FixturePorts
{
    FixturePorts()
    {
        for (Algorithms::FixturePort *port : {&left, &right}) {
            port->setZ0Impedance(50.0);
            port->setConversionType(Algorithms::Z0ConversionType::System);
        }
    }

    Algorithms::FixturePort left, right;
};

// The whole time-gating 2x-thru of thruOf(range(0)), once per iteration.
inline void timeGateThru(benchmark::State &state)
{
    application();
    const Algorithms::SParametersTwoPort thru = thruOf(static_cast<size_t>(state.range(0)));
    Algorithms::ProcessInputParameters params;
    FixturePorts ports;
    for (auto _ : state) {
        Algorithms::ProcessTimeGate process;
        process.setParameters(&params);
        process.setFixturesForCalculate(&ports.left, &ports.right);
        process.setInputData(thru);
        if (!process.run()) {
            state.SkipWithError("the calculation failed");
            break;
        }
        benchmark::DoNotOptimize(ports.left.uncorrectedSParameters()->s21().data());
    }
}

} // namespace BenchSupport

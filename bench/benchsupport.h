#pragma once
// Set-up shared by the benchmarks: the application object, and for the
// 2x-thru process benchmarks the synthetic thru measurement and the two
// fixture ports.

#include "algorithms/fixtureport.h"
#include "algorithms/sparameters.h"

#include "synthnet/synthnet.h"

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

// The 2x-thru of a shunt-C, 60 ohm line fixture at n points of a harmonic
// grid up to 20 GHz.
inline Algorithms::SParametersTwoPort thruOf(size_t n)
{
    const Algorithms::RealVector f = SynthNet::harmonicGrid(20e9 / static_cast<double>(n), n);
    const auto fixture =
        SynthNet::cascade(SynthNet::shuntGC(f, 0.0, 0.05e-12), SynthNet::line(f, {60.0, 200e-12, 0.3}));
    return SynthNet::toS(SynthNet::twoXThru(fixture));
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

} // namespace BenchSupport

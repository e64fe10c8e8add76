#pragma once
// What the simulated analyser measures: a scene of networks wired to its
// ports. Two-port and one-port elements are synthetic networks (closed-form,
// see synthnet.h); sampled N-port networks come from Touchstone files.
//
// Ports are the analyser's own, 1-based. Synthetic elements are referred to
// the analyser's current port impedances; sampled networks are returned as
// stored (no renormalisation), linearly interpolated in frequency and held
// at their end values outside the file's range. Ports that no element uses
// are matched and isolated (S = 0).

#include "synthnet/synthnet.h"

#include <complex>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace AnalyserSim {

using Complex = std::complex<double>;
using RealVector = std::vector<double>;
using ComplexVector = std::vector<Complex>;

// A fixture: a lossy line behind a connector shunt. Port 1 faces the
// analyser (the shunt sits there), port 2 faces the DUT or the termination.
struct FixtureSpec
{
    SynthNet::LineSpec line{48.0, 150e-12, 0.5};
    double shuntCapacitance = 0.05e-12; // F
    double shuntConductance = 0.0; // S
};

// A known DUT: series R + jwL, then a line, then a shunt G + jwC.
struct DutSpec
{
    SynthNet::LineSpec line{50.0, 200e-12, 0.3};
    double seriesResistance = 0.0; // ohm
    double seriesInductance = 0.0; // H
    double shuntConductance = 0.0; // S
    double shuntCapacitance = 0.0; // F
};

enum class Termination { Open, Short, Load };

SynthNet::Network fixtureNetwork(const FixtureSpec &spec, const RealVector &frequency);
SynthNet::Network dutNetwork(const DutSpec &spec, const RealVector &frequency);

// A sampled N-port network: per frequency an N x N matrix, row-major
// (element (to, from) at to * N + from, 0-based inside the matrix).
struct SampledNetwork
{
    unsigned portCount = 0;
    RealVector frequency; // Hz, ascending
    std::vector<ComplexVector> matrix; // one per frequency, N * N values
    double referenceImpedance = 50.0;
};

// One matrix entry at f: linear between samples, the end values outside.
Complex sampleAt(const SampledNetwork &network, size_t entry, double f);

class Scene
{
public:
    using TwoPortBuilder = std::function<SynthNet::Network(const RealVector &frequency)>;

    // The default scene: a 2x-thru of the default fixture between ports 1 and 2.
    static Scene defaultScene();
    static Scene twoXThru(unsigned portA, unsigned portB, const FixtureSpec &fixture = {});
    static Scene reflect(unsigned port, Termination termination, const FixtureSpec &fixture = {});
    static Scene dutInFixture(unsigned portA, unsigned portB, const FixtureSpec &fixtureA = {},
                              const FixtureSpec &fixtureB = {}, const DutSpec &dut = {});

    // Each add fails (false, scene unchanged) when a port is 0 or already used.
    // Fixture at portA, its mirror image at portB.
    bool addThru(unsigned portA, unsigned portB, const FixtureSpec &fixture = {});
    bool addReflect(unsigned port, Termination termination, const FixtureSpec &fixture = {});
    // Fixture A at portA, the DUT, then fixture B mirrored at portB.
    bool addDut(unsigned portA, unsigned portB, const FixtureSpec &fixtureA = {}, const FixtureSpec &fixtureB = {},
                const DutSpec &dut = {});
    // Any synthetic two-port: its port 1 on portA, port 2 on portB.
    bool addTwoPort(unsigned portA, unsigned portB, TwoPortBuilder builder);
    // A synthetic two-port on port, its port 2 terminated by gamma.
    bool addOnePort(unsigned port, TwoPortBuilder builder, Complex gamma);
    // A sampled network: its port k (1-based) on analyser port firstPort + k - 1.
    bool addSampled(unsigned firstPort, SampledNetwork network);

    void clear();
    bool isEmpty() const;
    // The highest analyser port any element uses (0 for an empty scene).
    unsigned highestPort() const;

    // The full analyser matrix: for every frequency, portCount x portCount
    // values row-major ((to-1) * portCount + (from-1)). impedance[k] is the
    // reference impedance of analyser port k + 1 (50 ohm where missing).
    std::vector<ComplexVector> matrix(const RealVector &frequency, unsigned portCount,
                                      const std::vector<double> &impedance) const;
    // One entry S(to, from), 1-based analyser ports.
    ComplexVector s(unsigned to, unsigned from, const RealVector &frequency,
                    const std::vector<double> &impedance) const;

private:
    struct Element;
    bool portsFree(const std::vector<unsigned> &ports) const;
    std::vector<std::shared_ptr<const Element>> m_elements;
};

} // namespace AnalyserSim

#pragma once
// Synthetic networks with closed-form S-parameters.
//
// Networks are built as ABCD (chain) matrices per frequency point, so that
// cascading is a matrix product and the result is independent of any
// reference impedance; they become S-parameters only at the end, for the
// real reference impedances asked for. This is the ground truth against
// which the de-embedding algorithms are tested.

#include "algorithms/sparameters.h"

#include <complex>
#include <vector>

namespace SynthNet {

using Complex = std::complex<double>;
using RealVector = std::vector<double>;
using ComplexVector = std::vector<Complex>;

struct Abcd
{
    Complex a{1.0, 0.0}, b{0.0, 0.0}, c{0.0, 0.0}, d{1.0, 0.0};
    Abcd operator*(const Abcd &rhs) const;
};

// One ABCD matrix per frequency point.
struct Network
{
    RealVector frequency;
    std::vector<Abcd> abcd;
    size_t size() const { return frequency.size(); }
};

// A uniform transmission line: characteristic impedance z0 (real), one-way
// delay (s) and a loss of lossDbAt1GHz dB at 1 GHz growing as sqrt(f)
// (conductor loss). lossDbAt1GHz = 0 gives a lossless line.
struct LineSpec
{
    double z0 = 50.0;
    double delay = 0.0;
    double lossDbAt1GHz = 0.0;
};

Network line(const RealVector &frequency, const LineSpec &spec);
// Series impedance R + jwL.
Network seriesRL(const RealVector &frequency, double resistance, double inductance);
// Shunt admittance G + jwC.
Network shuntGC(const RealVector &frequency, double conductance, double capacitance);
Network identity(const RealVector &frequency);

// Cascade: a then b (a's port 2 meets b's port 1). Grids must be equal.
Network cascade(const Network &a, const Network &b);
Network cascade(std::initializer_list<Network> parts);
// The network seen from the other side (ports exchanged).
Network mirror(const Network &n);

// S-parameters of n with real reference impedances z1 (port 1), z2 (port 2).
Algorithms::SParametersTwoPort toS(const Network &n, double z1 = 50.0, double z2 = 50.0);

// Reflection of port 1 of n when port 2 is terminated by gamma (in the
// reference impedance z2 of port 2); port 1 referred to z1.
Algorithms::SParametersOnePort terminate(const Network &n, Complex gamma, double z1 = 50.0, double z2 = 50.0);

// S-domain operations, for data that only exists as S-parameters.
Algorithms::SParametersTwoPort cascadeS(const Algorithms::SParametersTwoPort &a,
                                        const Algorithms::SParametersTwoPort &b);
Algorithms::SParametersTwoPort mirrorS(const Algorithms::SParametersTwoPort &s);
Algorithms::SParametersOnePort terminateS(const Algorithms::SParametersTwoPort &s, Complex gamma);

// A 2x-thru: fixture, then the mirrored fixture.
Network twoXThru(const Network &fixture);
// A DUT in fixture: fixture, DUT, mirrored fixture.
Network dutInFixture(const Network &fixture, const Network &dut);

// f = step, 2 step, ..., count * step (a harmonic, low-pass grid).
RealVector harmonicGrid(double step, size_t count);
// count points from start to stop inclusive.
RealVector uniformGrid(double start, double stop, size_t count);

} // namespace SynthNet

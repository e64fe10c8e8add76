#include "algorithms/timegating.h"

#include "algorithms/fft.h"
#include "algorithms/lowpassspectrum.h"

#include "synthnet/referencefits.h"
#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fftw3.h>

#include <limits>
#include <optional>
#include <vector>

using namespace Algorithms;

namespace {
constexpr double kPi = 3.14159265358979323846;

GateParameters makeGate(double start, double stop, double betaX)
{
    GateParameters g;
    g.start = start;
    g.stop = stop;
    g.beta = 0.0;
    g.betaX = betaX;
    g.centre = (start + stop) / 2.0;
    g.halfWidth = (stop - start) / 2.0;
    g.reserved = 0.0;
    return g;
}

// Time of gate sample k in FFT order: k / (K df), the second half negative.
double sampleTime(size_t k, size_t count, double df)
{
    const double kd = static_cast<double>(k);
    const double cd = static_cast<double>(count);
    return (2 * k < count ? kd : kd - cd) / (cd * df);
}

// Gaussian echo of amplitude a at delay tau: a exp(-2 pi^2 sigma^2 f^2) e^(-j 2 pi f tau),
// negligible above 20 GHz for sigma = 50 ps.
Complex echo(double f, double a, double tau, double sigma = 50e-12)
{
    return a * std::exp(-2.0 * kPi * kPi * sigma * sigma * f * f) * std::polar(1.0, -2.0 * kPi * f * tau);
}

// Band-pass echo: a Gaussian band around fc, so the envelope is compact in time.
Complex bandEcho(double f, double a, double tau, double fc, double bw)
{
    const double x = (f - fc) / bw;
    return a * std::exp(-x * x) * std::polar(1.0, -2.0 * kPi * f * tau);
}

double maxDifference(const ComplexVector &a, const ComplexVector &b)
{
    double d = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}
} // namespace

TEST(GateShape, IsOneInsideAndZeroOutside)
{
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 200);
    struct Case
    {
        GridMode mode;
        RealVector grid;
        double step;
    };
    const Case cases[] = {
        {GridMode::LowPass, f, df},
        {GridMode::BandPass, SynthNet::uniformGrid(1e9, 1e9 + 400 * df, 401), df}, // odd count
        {GridMode::BandPass, SynthNet::uniformGrid(1e9, 1e9 + 399 * df, 400), df}, // even count
    };
    for (const Case &c : cases) {
        for (double shift : {0.0, 0.25e-9}) {
            GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
            gate.centre += shift; // the gate moves the other way in the shifted frame
            const RealVector g = gateShape(c.grid, c.mode, gate);
            const size_t k = c.mode == GridMode::LowPass ? 2 * c.grid.size() + 1 : c.grid.size();
            ASSERT_EQ(g.size(), k);
            int inside = 0, outside = 0;
            for (size_t i = 0; i < k; ++i) {
                const double t = sampleTime(i, k, c.step) + shift; // relative to the gate middle
                if (std::abs(t) < 0.6e-9 - 100e-12) {
                    EXPECT_NEAR(g[i], 1.0, 2e-3) << "mode " << static_cast<int>(c.mode) << " t " << t;
                    ++inside;
                } else if (std::abs(t) > 0.6e-9 + 100e-12 && std::abs(t) < 1.0 / (2 * c.step) - 0.3e-9) {
                    EXPECT_NEAR(g[i], 0.0, 2e-3) << "mode " << static_cast<int>(c.mode) << " t " << t;
                    ++outside;
                }
            }
            EXPECT_GT(inside, 20);
            EXPECT_GT(outside, 20);
        }
    }
}

TEST(GateShape, ZeroWidthGivesZeros)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 50);
    GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    gate.halfWidth = 0.0;
    const RealVector g = gateShape(f, GridMode::LowPass, gate);
    ASSERT_EQ(g.size(), 101u);
    for (double v : g)
        EXPECT_EQ(v, 0.0);

    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        s[i] = echo(f[i], 0.5, 0.3e-9);
    for (const Complex &v : gateSpectrum(s, f, GridMode::LowPass, gate))
        EXPECT_EQ(std::abs(v), 0.0);
}

TEST(GateShape, BetaAndReservedChangeNothing)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 64);
    const GateParameters gate = makeGate(-0.2e-9, 0.8e-9, 6.0);
    GateParameters other = gate;
    other.beta = 13.0;
    other.reserved = 42.0;
    EXPECT_EQ(gateShape(f, GridMode::LowPass, gate), gateShape(f, GridMode::LowPass, other));
}

TEST(GateShape, RefusesAGateThatEndsBeforeItStarts)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 64);
    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        s[i] = echo(f[i], 0.5, 0.3e-9);
    for (GridMode mode : {GridMode::LowPass, GridMode::BandPass}) {
        const GateParameters reversed = makeGate(1e-9, -0.2e-9, 6.0); // negative half width too
        EXPECT_TRUE(gateShape(f, mode, reversed).empty());
        EXPECT_TRUE(gateSpectrum(s, f, mode, reversed).empty());

        const GateParameters closed = makeGate(0.3e-9, 0.3e-9, 6.0);
        EXPECT_TRUE(gateShape(f, mode, closed).empty());
        EXPECT_TRUE(gateSpectrum(s, f, mode, closed).empty());

        GateParameters negativeWidth = makeGate(-0.2e-9, 1e-9, 6.0);
        negativeWidth.halfWidth = -0.6e-9;
        EXPECT_TRUE(gateShape(f, mode, negativeWidth).empty());
    }
    const GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    EXPECT_TRUE(gateShape(f, static_cast<GridMode>(2), gate).empty());
    EXPECT_TRUE(gateSpectrum(s, f, static_cast<GridMode>(2), gate).empty());
    EXPECT_TRUE(gateSpectrum(ComplexVector(63), f, GridMode::LowPass, gate).empty());
    RealVector badGrid = f;
    badGrid[10] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(gateShape(badGrid, GridMode::LowPass, gate).empty());
}

TEST(GateSpectrum, WholePeriodGateIsTheIdentity)
{
    const double df = 100e6;
    const double period = 1.0 / df;
    struct Case
    {
        GridMode mode;
        RealVector grid;
        double betaX;
    };
    const Case cases[] = {
        {GridMode::LowPass, SynthNet::harmonicGrid(df, 200), 6.0},
        {GridMode::BandPass, SynthNet::uniformGrid(2e9, 2e9 + 100 * df, 101), 6.0},
        // an even band-pass count has no centre sample in its taper
        {GridMode::BandPass, SynthNet::uniformGrid(2e9, 2e9 + 99 * df, 100), 0.0},
    };
    for (const Case &c : cases) {
        ComplexVector s(c.grid.size());
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = std::polar(0.3 + 0.001 * i, -0.05 * i * i); // arbitrary data
        GateParameters gate = makeGate(-period / 2, period / 2, c.betaX);
        gate.centre = 0.37e-9;
        const ComplexVector gated = gateSpectrum(s, c.grid, c.mode, gate);
        ASSERT_EQ(gated.size(), s.size());
        EXPECT_LT(maxDifference(gated, s), 1e-12) << "mode " << static_cast<int>(c.mode);
    }
}

TEST(GateSpectrum, KeepsTheEchoInsideTheGateAndRemovesTheOneOutside)
{
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 200);
    ComplexVector both(f.size()), first(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        first[i] = echo(f[i], 0.4, 0.3e-9);
        both[i] = first[i] + echo(f[i], -0.6, 1.5e-9);
    }
    // the gate covers the absolute times start .. stop whatever the centre
    for (double shift : {0.0, 37e-12, -90e-12}) {
        GateParameters gate = makeGate(-0.2e-9, 0.9e-9, 6.0);
        gate.centre += shift;
        const ComplexVector gated = gateSpectrum(both, f, GridMode::LowPass, gate);
        ASSERT_EQ(gated.size(), f.size());
        // the gate is flat to about 2e-4 inside
        EXPECT_LT(maxDifference(gated, first), 5e-4) << "centre shift " << shift;
    }
}

TEST(GateSpectrum, BandPassKeepsTheEchoInsideTheGate)
{
    const size_t n = 301;
    const RealVector f = SynthNet::uniformGrid(2e9, 8e9, n);
    ComplexVector both(n), first(n);
    for (size_t i = 0; i < n; ++i) {
        first[i] = bandEcho(f[i], 0.5, 0.4e-9, 5e9, 0.7e9);
        both[i] = first[i] + bandEcho(f[i], 0.8, 6e-9, 5e9, 0.7e9);
    }
    const GateParameters gate = makeGate(-1.5e-9, 2.5e-9, 6.0);
    const ComplexVector gated = gateSpectrum(both, f, GridMode::BandPass, gate);
    ASSERT_EQ(gated.size(), n);
    EXPECT_LT(maxDifference(gated, first), 5e-4);
}

TEST(RefineGateCentre, PhaseModeReturnsTheDelayOfTheHighestPoint)
{
    const RealVector low = SynthNet::harmonicGrid(100e6, 200); // 1/(2 fmax) = 25 ps
    const RealVector band = SynthNet::uniformGrid(1e9, 3e9, 101); // 1/(2 span) = 250 ps
    const double tau = 0.41234e-9;
    struct Case
    {
        GridMode mode;
        const RealVector *grid;
        double offset;
    };
    const Case cases[] = {
        {GridMode::LowPass, &low, 0.0},        {GridMode::LowPass, &low, -24e-12}, {GridMode::LowPass, &low, 10e-12},
        {GridMode::LowPass, &low, 24e-12},     {GridMode::BandPass, &band, 0.0},   {GridMode::BandPass, &band, 240e-12},
        {GridMode::BandPass, &band, -100e-12},
    };
    for (const Case &c : cases) {
        ComplexVector s(c.grid->size());
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = 0.7 * std::polar(1.0, -2.0 * kPi * (*c.grid)[i] * tau);
        GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
        gate.centre = tau + c.offset;
        const std::optional<double> r = refineGateCentre(s, *c.grid, GateCentreMode::HighestPoint, gate, c.mode);
        ASSERT_TRUE(r.has_value());
        EXPECT_NEAR(*r, tau, 1e-16) << "mode " << static_cast<int>(c.mode) << " offset " << c.offset;
    }

    // beyond half a period of the highest frequency the phase aliases
    ComplexVector s(low.size());
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = std::polar(1.0, -2.0 * kPi * low[i] * tau);
    GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    gate.centre = tau + 30e-12;
    EXPECT_NEAR(*refineGateCentre(s, low, GateCentreMode::HighestPoint, gate, GridMode::LowPass), tau + 50e-12, 1e-16);
}

TEST(RefineGateCentre, UnknownCentreModeOrBadInputGivesNothing)
{
    const RealVector f = SynthNet::harmonicGrid(100e6, 50);
    const ComplexVector s(50, Complex(0.5, 0.0));
    const GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    EXPECT_FALSE(refineGateCentre(s, f, static_cast<GateCentreMode>(2), gate, GridMode::LowPass).has_value());
    EXPECT_FALSE(refineGateCentre(s, f, static_cast<GateCentreMode>(-1), gate, GridMode::LowPass).has_value());
    EXPECT_FALSE(
        refineGateCentre(ComplexVector(49), f, GateCentreMode::HighestPoint, gate, GridMode::LowPass).has_value());
    ComplexVector withNaN = s;
    withNaN[49] = Complex(std::numeric_limits<double>::quiet_NaN(), 0.0);
    EXPECT_FALSE(refineGateCentre(withNaN, f, GateCentreMode::HighestPoint, gate, GridMode::LowPass).has_value());
    EXPECT_FALSE(
        refineGateCentre(withNaN, f, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass).has_value());
    // the scan needs a usable gate
    EXPECT_FALSE(
        refineGateCentre(s, f, GateCentreMode::LeastResponseInGate, makeGate(1e-9, -0.2e-9, 6.0), GridMode::LowPass)
            .has_value());
}

TEST(RefineGateCentre, ScanCoversTheRangeOfOneTimeStepAndTheFirstMinimumWins)
{
    // 200 points up to 20 GHz: d = 2N / (2 fmax (2N + 1)) ~ 24.94 ps, 250 positions
    // from centre - 125 * 0.1 ps to centre + 124 * 0.1 ps
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 200);
    const GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    const double centre = gate.centre;

    // no response at all: every score ties and the first position wins
    const std::optional<double> first =
        refineGateCentre(ComplexVector(f.size()), f, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
    ASSERT_TRUE(first.has_value());
    EXPECT_NEAR(*first, centre - 125 * 1e-13, 1e-18);

    // an echo on the start edge leaves the gate as the shift grows: the last position wins
    ComplexVector edge(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        edge[i] = echo(f[i], 1.0, gate.start, 20e-12);
    const std::optional<double> last =
        refineGateCentre(edge, f, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
    ASSERT_TRUE(last.has_value());
    EXPECT_NEAR(*last, centre + 124 * 1e-13, 1e-18);

    // echoes just outside both edges, displaced by s0: the least response
    // inside the gate is at the shift s0
    for (double s0 : {0.0, 3.0e-12, -7.0e-12}) {
        ComplexVector pair(f.size());
        for (size_t i = 0; i < f.size(); ++i) {
            pair[i] = echo(f[i], 1.0, gate.start - 150e-12 + s0) + echo(f[i], 1.0, gate.stop + 150e-12 + s0);
        }
        const std::optional<double> r =
            refineGateCentre(pair, f, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
        ASSERT_TRUE(r.has_value());
        EXPECT_NEAR(*r, centre + s0, 0.15e-12) << "s0 " << s0;
    }

    // band-pass, 101 points over 10 .. 20 GHz: d = 100 / (10 GHz 101) / 2 ~ 49.505 ps,
    // ceil gives 496 positions (already even); over 10 .. 20.02 GHz d ~ 49.46 ps
    // gives 495, rounded down to 494
    const std::optional<double> b = refineGateCentre(ComplexVector(101), SynthNet::uniformGrid(10e9, 20e9, 101),
                                                     GateCentreMode::LeastResponseInGate, gate, GridMode::BandPass);
    ASSERT_TRUE(b.has_value());
    EXPECT_NEAR(*b, centre - 248 * 1e-13, 1e-18);
    const std::optional<double> odd = refineGateCentre(ComplexVector(101), SynthNet::uniformGrid(10e9, 20.02e9, 101),
                                                       GateCentreMode::LeastResponseInGate, gate, GridMode::BandPass);
    ASSERT_TRUE(odd.has_value());
    EXPECT_NEAR(*odd, centre - 247 * 1e-13, 1e-18);
}

TEST(RefineGateCentre, ScanOnACoarseGridIsCappedAtFiveHundredPositions)
{
    const GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
    // 1, 2, 3 MHz: d ~ 142.9 ns would need ~1.4 million 0.1 ps steps
    const RealVector low = {1e6, 2e6, 3e6};
    const double dLow = 2.0 * 3 / (2.0 * 3e6 * 7);
    const std::optional<double> r =
        refineGateCentre(ComplexVector(3), low, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(*r, gate.centre - dLow / 2,
                1e-9 * dLow); // first of 500 positions, step d/500: the span d of the uncapped scan

    // an echo at the start edge moves out as the shift grows: last position
    ComplexVector edge(3);
    for (size_t i = 0; i < 3; ++i)
        edge[i] = std::polar(1.0, -2.0 * kPi * low[i] * (gate.centre - 100e-9));
    const std::optional<double> e =
        refineGateCentre(edge, low, GateCentreMode::LeastResponseInGate, gate, GridMode::LowPass);
    ASSERT_TRUE(e.has_value());
    const double step = dLow / 500;
    const double offset = (*e - gate.centre) / step;
    EXPECT_NEAR(offset, std::round(offset), 1e-6) << "lies on the capped grid";
    EXPECT_GE(offset, -250.0);
    EXPECT_LE(offset, 249.0);

    // band-pass 1 .. 3 MHz
    const RealVector band = {1e6, 1.5e6, 2e6, 2.5e6, 3e6};
    const double dBand = 4.0 / (2e6 * 5) * 0.5;
    const std::optional<double> b =
        refineGateCentre(ComplexVector(5), band, GateCentreMode::LeastResponseInGate, gate, GridMode::BandPass);
    ASSERT_TRUE(b.has_value());
    EXPECT_NEAR(*b, gate.centre - dBand / 2, 1e-9 * dBand);
}

TEST(RefineGateCentre, ScanChoosesTheCentreOfThePlainScan)
{
    struct Case
    {
        const char *name;
        RealVector f;
        ComplexVector s;
        GateParameters gate;
        GridMode gridMode;
    };
    std::vector<Case> cases;
    // Reflections of a mismatched line as the calculation gates them, on
    // transform lengths with only small factors (K = 403), a large prime
    // factor (K = 3203, prime; K = 20003 = 83 * 241) and an odd count of
    // echoes.
    for (size_t n : {201, 1601, 10001}) {
        const RealVector f = SynthNet::harmonicGrid(20e9 / double(n), n);
        const auto line = SynthNet::toS(SynthNet::line(f, {60.0, 200e-12, 0.2}), 50.0, 50.0);
        cases.push_back({"line", f, line.s11(), makeGate(-2e-10, 200e-12, 6.0), GridMode::LowPass});
        cases.push_back({"line, long gate", f, line.s11(), makeGate(-1e-10, 420e-12, 13.0), GridMode::LowPass});
    }
    // Echoes just outside both edges of the gate, displaced.
    {
        const RealVector f = SynthNet::harmonicGrid(100e6, 200);
        const GateParameters gate = makeGate(-0.2e-9, 1e-9, 6.0);
        for (double s0 : {3.0e-12, -7.0e-12}) {
            ComplexVector pair(f.size());
            for (size_t i = 0; i < f.size(); ++i)
                pair[i] = echo(f[i], 1.0, gate.start - 150e-12 + s0) + echo(f[i], 0.7, gate.stop + 150e-12 + s0);
            cases.push_back({"echo pair", f, pair, gate, GridMode::LowPass});
        }
    }
    // Band-pass, 101 (prime) and 128 points.
    for (size_t n : {101, 128}) {
        const RealVector f = SynthNet::uniformGrid(10e9, 20e9, n);
        ComplexVector s(n);
        for (size_t i = 0; i < n; ++i)
            s[i] = bandEcho(f[i], 1.0, -0.25e-9, 15e9, 3e9) + bandEcho(f[i], 0.5, 1.2e-9, 15e9, 3e9);
        cases.push_back({"band-pass", f, s, makeGate(-0.2e-9, 1e-9, 6.0), GridMode::BandPass});
    }

    for (const Case &c : cases) {
        const std::optional<double> fast =
            refineGateCentre(c.s, c.f, GateCentreMode::LeastResponseInGate, c.gate, c.gridMode);
        const std::optional<double> plain = SynthNet::gateCentreReferenceScan(c.s, c.f, c.gate, c.gridMode);
        ASSERT_TRUE(fast.has_value()) << c.name;
        ASSERT_TRUE(plain.has_value()) << c.name;
        EXPECT_EQ(*fast, *plain) << c.name << ", " << c.f.size() << " points";
    }
}

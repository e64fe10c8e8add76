#include "algorithms/lowpassspectrum.h"
#include "algorithms/stepresponse.h"

#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Algorithms;

namespace {
// Parameters as the processes pass them: gate start -200 ps, reference span
// from half a period before zero up to the gate start, Kaiser 3.
constexpr double kTimeMin = -2e-10;
constexpr double kBeta = 3.0;

double startZero(double df)
{
    return -0.5 / df;
}

bool isEmpty(const StepResponseProfile &p)
{
    return p.time.empty() && p.impedance.empty() && p.reflection.empty();
}

// Checks z(t) = expected within a relative tolerance for t in [from, to].
void expectImpedance(const StepResponseProfile &p, double from, double to, double expected, double relTol,
                     const char *what)
{
    int checked = 0;
    for (size_t i = 0; i < p.time.size(); ++i) {
        if (p.time[i] < from || p.time[i] > to)
            continue;
        ++checked;
        EXPECT_NEAR(p.impedance[i], expected, relTol * expected) << what << " at t = " << p.time[i];
    }
    EXPECT_GT(checked, 10) << what;
}
} // namespace

TEST(StepResponse, LineOfSixtyOhmsInAFiftyOhmSystem)
{
    const double tau = 200e-12;
    // two harmonic grids up to 20 GHz
    for (auto grid : {std::pair<double, size_t>{100e6, 200}, {50e6, 400}}) {
        const double df = grid.first;
        const RealVector f = SynthNet::harmonicGrid(df, grid.second);
        const SParametersTwoPort line = SynthNet::toS(SynthNet::line(f, {60.0, tau, 0.0}), 50, 50);
        const StepResponseProfile p =
            computeStepResponse(line.s11(), f, kTimeMin, 1e-9, kBeta, startZero(df), kTimeMin, 50.0);
        ASSERT_EQ(p.time.size(), 2 * f.size() + 1);
        ASSERT_EQ(p.impedance.size(), p.time.size());
        ASSERT_EQ(p.reflection.size(), p.time.size());
        EXPECT_DOUBLE_EQ(p.time.front(), kTimeMin);
        EXPECT_DOUBLE_EQ(p.time.back(), 1e-9);

        // the port, then the line from the input step to the far end (round
        // trip 2 tau), then the 50 ohm load behind it (rho^3 ~ 7.5e-4 left)
        expectImpedance(p, kTimeMin, -80e-12, 50.0, 0.005, "before the line");
        expectImpedance(p, 80e-12, 2 * tau - 80e-12, 60.0, 0.005, "on the line");
        expectImpedance(p, 2 * tau + 80e-12, 1e-9, 50.0, 0.005, "behind the line");
        for (size_t i = 0; i < p.time.size(); ++i) {
            const double rho = p.reflection[i];
            EXPECT_NEAR(p.impedance[i], 50.0 * (1 + rho) / (1 - rho), 1e-9);
        }
    }
}

TEST(StepResponse, ResistiveLoadBehindAMatchedLine)
{
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 200);
    const double tau = 300e-12;
    // 100 ohm at the end of a 50 ohm line: rho = 1/3 after the round trip
    const SParametersOnePort s = SynthNet::terminate(SynthNet::line(f, {50.0, tau, 0.0}), Complex(1.0 / 3.0, 0.0));
    const StepResponseProfile p =
        computeStepResponse(s.s11(), f, kTimeMin, 1.5e-9, kBeta, startZero(df), kTimeMin, 50.0);
    ASSERT_FALSE(isEmpty(p));
    expectImpedance(p, kTimeMin, 2 * tau - 80e-12, 50.0, 0.005, "line");
    expectImpedance(p, 2 * tau + 80e-12, 1.5e-9, 100.0, 0.005, "load");
}

TEST(StepResponse, NoReflectionIsTheReferenceImpedanceEverywhere)
{
    const double df = 200e6;
    const RealVector f = SynthNet::harmonicGrid(df, 100);
    for (double z0 : {50.0, 75.0}) {
        const StepResponseProfile p =
            computeStepResponse(ComplexVector(f.size()), f, kTimeMin, 1e-9, kBeta, startZero(df), kTimeMin, z0);
        ASSERT_EQ(p.impedance.size(), 201u);
        for (size_t i = 0; i < p.impedance.size(); ++i) {
            EXPECT_EQ(p.reflection[i], 0.0);
            EXPECT_EQ(p.impedance[i], z0);
        }
    }
}

TEST(StepResponse, NegatedReflectionNegatesTheStep)
{
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 150);
    SParametersTwoPort line = SynthNet::toS(SynthNet::line(f, {40.0, 150e-12, 0.5}), 50, 50);
    ComplexVector negated = line.s11();
    for (Complex &v : negated)
        v = -v;
    const StepResponseProfile a =
        computeStepResponse(line.s11(), f, kTimeMin, 1e-9, kBeta, startZero(df), kTimeMin, 50.0);
    const StepResponseProfile b = computeStepResponse(negated, f, kTimeMin, 1e-9, kBeta, startZero(df), kTimeMin, 50.0);
    ASSERT_EQ(a.reflection.size(), b.reflection.size());
    ASSERT_FALSE(a.reflection.empty());
    double largest = 0.0;
    for (size_t i = 0; i < a.reflection.size(); ++i) {
        EXPECT_NEAR(b.reflection[i], -a.reflection[i], 1e-12);
        largest = std::max(largest, std::abs(a.reflection[i]));
    }
    EXPECT_GT(largest, 0.1); // the 40 ohm line gives a step of about -0.11
}

TEST(StepResponse, EqualSpanEndsSelectTheNaturalGrid)
{
    const double df = 1e9;
    const RealVector f = SynthNet::harmonicGrid(df, 10);
    const ComplexVector s(10, Complex(0.1, 0.0));
    const StepResponseProfile p = computeStepResponse(s, f, 0.0, 0.0, kBeta, startZero(df), -0.1e-9, 50.0);
    ASSERT_EQ(p.time.size(), 21u);
    for (size_t i = 0; i < 21; ++i)
        EXPECT_NEAR(p.time[i], (static_cast<double>(i) - 10.0) / (21.0 * df), 1e-22);
}

TEST(StepResponse, DegenerateReferenceSpanGivesAnEmptyProfile)
{
    // with the default parameters the reference span closes from 2.5 GHz steps on
    for (double df : {2.5e9, 3e9, 5e9}) {
        const RealVector f = SynthNet::harmonicGrid(df, 8);
        const SParametersTwoPort line = SynthNet::toS(SynthNet::line(f, {60.0, 100e-12, 0.0}), 50, 50);
        EXPECT_TRUE(isEmpty(computeStepResponse(line.s11(), f, kTimeMin, 1e-9, kBeta, startZero(df), kTimeMin, 50.0)))
            << df;
    }
    const RealVector f = SynthNet::harmonicGrid(100e6, 20);
    EXPECT_TRUE(isEmpty(computeStepResponse(ComplexVector(20), f, 0, 1e-9, 3, -1e-9, -1e-9, 50)));
    // malformed input
    EXPECT_TRUE(isEmpty(computeStepResponse(ComplexVector(19), f, 0, 1e-9, 3, -5e-9, -2e-10, 50)));
    EXPECT_TRUE(isEmpty(computeStepResponse({}, {}, 0, 1e-9, 3, -5e-9, -2e-10, 50)));
}

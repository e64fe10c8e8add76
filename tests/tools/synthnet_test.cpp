#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace SynthNet;

namespace {
constexpr double kPi = 3.14159265358979323846;

void expectNear(const ComplexVector &a, const ComplexVector &b, double tol)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        EXPECT_LT(std::abs(a[i] - b[i]), tol) << "point " << i;
}

void expectNetworksEqual(const Network &a, const Network &b, double tol)
{
    const auto sa = toS(a), sb = toS(b);
    expectNear(sa.s11(), sb.s11(), tol);
    expectNear(sa.s12(), sb.s12(), tol);
    expectNear(sa.s21(), sb.s21(), tol);
    expectNear(sa.s22(), sb.s22(), tol);
}
} // namespace

TEST(SynthNet, LosslessMatchedLineIsAPureDelay)
{
    const auto f = harmonicGrid(100e6, 200);
    const double tau = 200e-12;
    const auto s = toS(line(f, {50.0, tau, 0.0}));
    for (size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(std::abs(s.s21()[i]), 1.0, 1e-12);
        EXPECT_LT(std::abs(s.s11()[i]), 1e-12);
        const std::complex<double> expected = std::polar(1.0, -2.0 * kPi * f[i] * tau);
        EXPECT_LT(std::abs(s.s21()[i] - expected), 1e-12);
        EXPECT_LT(std::abs(s.s12()[i] - s.s21()[i]), 1e-14);
    }
}

TEST(SynthNet, LineCascadedWithItselfDoublesTheDelay)
{
    const auto f = uniformGrid(1e9, 20e9, 97);
    const LineSpec spec{60.0, 150e-12, 0.3};
    LineSpec twice = spec;
    twice.delay *= 2;
    twice.lossDbAt1GHz *= 2;
    expectNetworksEqual(cascade(line(f, spec), line(f, spec)), line(f, twice), 1e-12);
}

TEST(SynthNet, MirrorTwiceIsIdentityAndMirrorSwapsPorts)
{
    const auto f = harmonicGrid(50e6, 100);
    const Network fixture =
        cascade({shuntGC(f, 0.0, 0.05e-12), line(f, {60.0, 200e-12, 0.5}), seriesRL(f, 1.0, 0.1e-9)});
    expectNetworksEqual(mirror(mirror(fixture)), fixture, 1e-12);
    const auto s = toS(fixture), m = toS(mirror(fixture));
    expectNear(m.s11(), s.s22(), 1e-12);
    expectNear(m.s22(), s.s11(), 1e-12);
    expectNear(m.s21(), s.s12(), 1e-12);
    // The S-domain helpers agree with the ABCD road.
    expectNear(toS(twoXThru(fixture)).s21(), cascadeS(s, mirrorS(s)).s21(), 1e-12);
    expectNear(toS(twoXThru(fixture)).s11(), cascadeS(s, mirrorS(s)).s11(), 1e-12);
}

TEST(SynthNet, LumpedElementsAndTerminationMatchClosedForms)
{
    const auto f = harmonicGrid(1e9, 10);
    // Series R in a 50 ohm system: S11 = R / (R + 100), S21 = 100 / (R + 100).
    const auto r = toS(seriesRL(f, 25.0, 0.0));
    EXPECT_NEAR(r.s11()[3].real(), 25.0 / 125.0, 1e-14);
    EXPECT_NEAR(r.s21()[3].real(), 100.0 / 125.0, 1e-14);
    // Shunt C: S11 = -jwC Z0 / (2 + jwC Z0).
    const double c = 1e-12;
    const auto sh = toS(shuntGC(f, 0.0, c));
    const std::complex<double> y(0.0, 2 * kPi * f[4] * c * 50.0);
    EXPECT_LT(std::abs(sh.s11()[4] - (-y / (2.0 + y))), 1e-14);
    // A matched line terminated by a short: S11 = -exp(-j 4 pi f tau).
    const double tau = 100e-12;
    const auto t = terminate(line(f, {50.0, tau, 0.0}), -1.0);
    for (size_t i = 0; i < f.size(); ++i)
        EXPECT_LT(std::abs(t.s11()[i] + std::polar(1.0, -4 * kPi * f[i] * tau)), 1e-12);
    // A 60 ohm line seen from 60 ohm references is matched.
    const auto l60 = toS(line(f, {60.0, tau, 0.0}), 60.0, 60.0);
    EXPECT_LT(std::abs(l60.s11()[5]), 1e-12);
    // Quarter-wave 60 ohm line (f = 1 GHz, tau = 250 ps) in 50 ohm: Zin = 60^2/50.
    const auto q = toS(line({1e9}, {60.0, 250e-12, 0.0}));
    const double zin = 3600.0 / 50.0;
    EXPECT_LT(std::abs(q.s11()[0] - (zin - 50.0) / (zin + 50.0)), 1e-12);
}

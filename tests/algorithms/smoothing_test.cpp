#include "algorithms/smoothing.h"

#include "synthnet/synthnet.h"

#include <Eigen/Dense>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Algorithms;

namespace {

constexpr double kPi = 3.14159265358979323846;

double maxAbsDiff(const RealVector &a, const RealVector &b)
{
    EXPECT_EQ(a.size(), b.size());
    double m = 0.0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

// Deterministic pseudo-random values in [-1, 1].
double jitter(size_t i)
{
    return std::sin(12.9898 * double(i) + 78.233 * double(i * i % 97));
}

} // namespace

TEST(Smoothing, ConstantMagnitudeAndLinearPhaseComeBackUnchanged)
{
    // A delayed, scaled thru: |S| constant, phase a straight line through
    // many turns. Cubic splines reproduce both; in low-pass mode the DC
    // point (the amplitude, with phase 0 or pi) lies on the same lines.
    struct Case
    {
        const char *name;
        RealVector f;
        Complex amplitude;
        int band;
        double span;
        double magTol; // low-pass: the DC estimate of a band-limited delay is good to ~1e-5
        double phaseTol;
    };
    const Case cases[] = {
        {"band-pass", SynthNet::uniformGrid(1e9, 9e9, 321), 0.7, 1, 2e-9, 1e-9, 1e-9},
        {"band-pass, many nodes", SynthNet::uniformGrid(1e9, 9e9, 321), 0.7, 1, 30e-9, 1e-9, 1e-9},
        {"low-pass", SynthNet::harmonicGrid(25e6, 400), 0.7, 0, 2e-9, 2e-5, 1e-6},
        {"low-pass, negative DC", SynthNet::harmonicGrid(25e6, 400), -0.4, 0, 2e-9, 2e-5, 1e-6},
    };
    const double delay = 0.9e-9;
    for (const auto &c : cases) {
        ComplexVector s(c.f.size());
        RealVector phase(c.f.size());
        for (size_t i = 0; i < c.f.size(); ++i) {
            s[i] = c.amplitude * std::polar(1.0, -2.0 * kPi * c.f[i] * delay);
            phase[i] = (c.amplitude.real() < 0 ? kPi : 0.0) - 2.0 * kPi * c.f[i] * delay;
        }
        if (c.band != 0) {
            // Band-pass phases start from the raw first value.
            const double shift = std::arg(s[0]) - phase[0];
            for (double &p : phase)
                p += shift;
        }
        const auto out = smoothMagnitudePhase(c.f, s, SmoothFit::Free, c.band, c.span);
        ASSERT_EQ(out.magnitude.size(), c.f.size()) << c.name;
        ASSERT_EQ(out.phase.size(), c.f.size()) << c.name;
        EXPECT_LT(maxAbsDiff(out.magnitude, RealVector(c.f.size(), std::abs(c.amplitude))), c.magTol) << c.name;
        EXPECT_LT(maxAbsDiff(out.phase, phase), c.phaseTol) << c.name;
    }
}

TEST(Smoothing, FixedFirstCoefficientPassesThroughTheFirstSample)
{
    const RealVector f = SynthNet::uniformGrid(2e9, 6e9, 151);
    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        const double mag = 0.5 + 0.1 * f[i] / 6e9 + 0.02 * jitter(i);
        s[i] = std::polar(mag, -2.0 * kPi * f[i] * 0.3e-9 + 0.05 * jitter(i + 500));
    }
    const auto fixed = smoothMagnitudePhase(f, s, SmoothFit::FixedFirst, 1, 3e-9);
    ASSERT_EQ(fixed.magnitude.size(), f.size());
    EXPECT_NEAR(fixed.magnitude[0], std::abs(s[0]), 1e-15);
    EXPECT_NEAR(fixed.phase[0], std::arg(s[0]), 1e-15);

    // The free fit does not pass through the noisy first sample.
    const auto free = smoothMagnitudePhase(f, s, SmoothFit::Free, 1, 3e-9);
    ASSERT_EQ(free.magnitude.size(), f.size());
    EXPECT_GT(std::abs(free.magnitude[0] - std::abs(s[0])), 1e-4);
    // Both follow the underlying smooth curve elsewhere.
    for (size_t i = 10; i < f.size(); i += 10) {
        EXPECT_NEAR(fixed.magnitude[i], 0.5 + 0.1 * f[i] / 6e9, 0.02) << i;
        EXPECT_NEAR(free.magnitude[i], 0.5 + 0.1 * f[i] / 6e9, 0.02) << i;
    }
}

TEST(Smoothing, FourNodesAreTheLeastSquaresCubic)
{
    // A span too short for four nodes still uses four: the cubic polynomials.
    const RealVector f = SynthNet::uniformGrid(1e9, 3e9, 60);
    ComplexVector s(f.size());
    RealVector mag(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        const double u = (f[i] - 1e9) / 2e9;
        mag[i] = 0.3 + 0.2 * std::cos(5.0 * u) + 0.01 * jitter(i);
        s[i] = std::polar(mag[i], 0.1);
    }
    // Independent cubic least-squares fit on the monomials.
    Eigen::MatrixXd v(f.size(), 4);
    Eigen::VectorXd y(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        const double u = (f[i] - 1e9) / 2e9;
        v.row(i) << 1.0, u, u * u, u * u * u;
        y(i) = mag[i];
    }
    const Eigen::VectorXd expected = v * v.colPivHouseholderQr().solve(y);
    for (double span : {0.0, 1e-9, -5e-9}) {
        const auto out = smoothMagnitudePhase(f, s, SmoothFit::Free, 1, span);
        ASSERT_EQ(out.magnitude.size(), f.size()) << span;
        for (size_t i = 0; i < f.size(); ++i)
            EXPECT_NEAR(out.magnitude[i], expected(i), 1e-12) << span << " " << i;
    }
}

TEST(Smoothing, LateEchoesAreSmoothedAway)
{
    // A matched 0.5 ns launch with a weak echo 10 ns later; smoothing over a
    // 2 ns span keeps the launch and removes the ripple of the echo.
    const RealVector f = SynthNet::harmonicGrid(10e6, 1000);
    ComplexVector s(f.size());
    RealVector truthMag(f.size()), truthPhase(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        const double w = 2.0 * kPi * f[i];
        const Complex base = 0.6 * std::polar(1.0, -w * 0.5e-9);
        s[i] = base * (1.0 + 0.03 * std::polar(1.0, -w * 10e-9));
        truthMag[i] = 0.6;
        truthPhase[i] = -w * 0.5e-9;
    }
    RealVector rawMag(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        rawMag[i] = std::abs(s[i]);
    const double before = maxAbsDiff(rawMag, truthMag);
    const auto out = smoothMagnitudePhase(f, s, SmoothFit::Free, 0, 2e-9);
    ASSERT_EQ(out.magnitude.size(), f.size());
    // The DC estimate is disturbed by the echo, so judge away from the ends.
    RealVector mid(out.magnitude.begin() + 50, out.magnitude.end() - 50);
    RealVector midTruth(truthMag.begin() + 50, truthMag.end() - 50);
    EXPECT_LT(maxAbsDiff(mid, midTruth), before / 5.0);
    RealVector midPhase(out.phase.begin() + 50, out.phase.end() - 50);
    RealVector midTruthPhase(truthPhase.begin() + 50, truthPhase.end() - 50);
    EXPECT_LT(maxAbsDiff(midPhase, midTruthPhase), 0.01);
}

TEST(Smoothing, UnwrapsAcrossTheBranchCut)
{
    // Raw phases ... 3.0, -3.0 ... continue as 3.0, -3.0 + 2 pi: a straight
    // line that the spline keeps.
    const double stepPhase = 2.0 * kPi - 6.0;
    const RealVector f = SynthNet::uniformGrid(1e9, 2e9, 8);
    ComplexVector s(f.size());
    RealVector line(f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        line[i] = 3.0 + (double(i) - 2.0) * stepPhase;
        s[i] = std::polar(1.0, line[i]);
    }
    EXPECT_NEAR(std::arg(s[3]), -3.0, 1e-12);
    const auto out = smoothMagnitudePhase(f, s, SmoothFit::Free, 1, 1e-9);
    ASSERT_EQ(out.phase.size(), f.size());
    EXPECT_NEAR(out.phase[2], 3.0, 1e-12);
    EXPECT_NEAR(out.phase[3], -3.0 + 2.0 * kPi, 1e-12);
    EXPECT_LT(maxAbsDiff(out.phase, line), 1e-12);
}

TEST(Smoothing, UnusableInputGivesEmptyCurves)
{
    const RealVector f = SynthNet::uniformGrid(1e9, 2e9, 10);
    const ComplexVector s(f.size(), Complex(0.5, 0.1));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    ComplexVector badS = s;
    badS[4] = Complex(nan, 0.0);
    RealVector badF = f;
    badF[2] = nan;
    RealVector descending(f.rbegin(), f.rend());
    struct Case
    {
        const char *name;
        RealVector f;
        ComplexVector s;
        SmoothFit mode;
        int band;
        double span;
    };
    const Case cases[] = {
        {"fit mode 2", f, s, static_cast<SmoothFit>(2), 1, 1e-9},
        {"fit mode -1", f, s, static_cast<SmoothFit>(-1), 1, 1e-9},
        {"sizes differ", f, ComplexVector(9, 0.5), SmoothFit::Free, 1, 1e-9},
        {"NaN spectrum", f, badS, SmoothFit::Free, 1, 1e-9},
        {"NaN grid", badF, s, SmoothFit::Free, 1, 1e-9},
        {"descending grid", descending, s, SmoothFit::Free, 1, 1e-9},
        {"NaN span", f, s, SmoothFit::Free, 1, nan},
        {"infinite span", f, s, SmoothFit::Free, 1, std::numeric_limits<double>::infinity()},
        {"three points", {1e9, 2e9, 3e9}, ComplexVector(3, 0.5), SmoothFit::Free, 1, 1e-9},
        {"empty", {}, {}, SmoothFit::Free, 0, 1e-9},
        {"low-pass from 0 Hz", SynthNet::uniformGrid(0.0, 1e9, 10), s, SmoothFit::Free, 0, 1e-9},
    };
    for (const auto &c : cases) {
        const auto out = smoothMagnitudePhase(c.f, c.s, c.mode, c.band, c.span);
        EXPECT_TRUE(out.magnitude.empty()) << c.name;
        EXPECT_TRUE(out.phase.empty()) << c.name;
    }
}

TEST(Smoothing, LongSpansInterpolateTheSamples)
{
    // More nodes than points are capped at one per point: the curves then
    // pass through every sample instead of failing.
    const RealVector f = SynthNet::uniformGrid(1e9, 2e9, 12);
    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        s[i] = std::polar(0.5 + 0.1 * jitter(i), 0.2 * jitter(i + 7));
    const auto out = smoothMagnitudePhase(f, s, SmoothFit::Free, 1, 1e-6);
    ASSERT_EQ(out.magnitude.size(), f.size());
    for (size_t i = 0; i < f.size(); ++i) {
        EXPECT_NEAR(out.magnitude[i], std::abs(s[i]), 1e-9) << i;
        EXPECT_NEAR(out.phase[i], std::arg(s[i]), 1e-9) << i;
    }
}

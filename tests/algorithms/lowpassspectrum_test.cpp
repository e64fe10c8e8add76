#include "algorithms/lowpassspectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Algorithms;

namespace {
constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// A periodic pulse (1 + cos(2 pi df (t - tau)))^M normalised to unit DC. It is
// a trigonometric polynomial of degree M, so M harmonics describe it exactly:
// S_m = C(2M, M + m) / C(2M, M) e^(-j 2 pi m df tau), zero above M.
ComplexVector cosinePowerPulse(size_t n, size_t m, double df, double tau, double dcValue)
{
    ComplexVector s(n, Complex(0.0, 0.0));
    double ratio = 1.0;
    for (size_t h = 1; h <= std::min(n, m); ++h) {
        ratio *= static_cast<double>(m - h + 1) / static_cast<double>(m + h);
        s[h - 1] = dcValue * ratio * std::polar(1.0, -2.0 * kPi * static_cast<double>(h) * df * tau);
    }
    return s;
}
} // namespace

TEST(FrequencyGridMode, ClassifiesByTheFirstTwoPoints)
{
    struct Case
    {
        const char *name;
        RealVector grid;
        std::optional<GridMode> mode;
    };
    const Case cases[] = {
        {"harmonic GHz", {1e9, 2e9, 3e9}, GridMode::LowPass},
        {"harmonic with rounding", {1.0000000005e9, 2.000000001e9, 3.0000000015e9}, GridMode::LowPass},
        {"uneven MHz", {10e6, 20.5e6, 31e6}, GridMode::BandPass},
        {"harmonic kHz", {300e3, 600e3, 900e3}, GridMode::LowPass},
        {"2 Hz off", {300e3, 600.002e3, 900e3}, GridMode::BandPass},
        {"1.0 Hz off is harmonic", {300e3, 600e3 + 1.0, 900e3}, GridMode::LowPass},
        {"1.5 Hz off is not", {300e3, 600e3 + 1.5, 900e3}, GridMode::BandPass},
        {"later points ignored", {1e9, 2e9, 7e9, 7.5e9}, GridMode::LowPass},
        {"band-pass uniform", {1e9, 1.01e9, 1.02e9}, GridMode::BandPass},
        {"two points", {1e9, 2e9}, std::nullopt},
        {"empty", {}, std::nullopt},
        {"NaN in a later point", {1e9, 2e9, kNaN}, std::nullopt},
        {"infinity", {kInf, 2e9, 3e9}, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(frequencyGridMode(c.grid), c.mode) << c.name;
}

TEST(MakeTwoSidedSpectrum, LowPassRecordOfThreePoints)
{
    const double df = 1e9;
    const RealVector f = {1e9, 2e9, 3e9};
    const ComplexVector s = {{0.1, 0.2}, {0.3, -0.4}, {-0.5, 0.6}};
    const Complex dc(0.7, 0.0);
    const TwoSidedSpectrum r = makeTwoSidedSpectrum(f, s, dc, GridMode::LowPass);

    EXPECT_EQ(r.positions, (RealVector{3, 2, 1, 0, 0, 1, 2}));
    const ComplexVector expected = {dc, s[0], s[1], s[2], std::conj(s[2]), std::conj(s[1]), std::conj(s[0])};
    EXPECT_EQ(r.spectrum, expected);
    ASSERT_EQ(r.time.size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR(r.time[i], (i - 3) / (7.0 * df), 1e-24) << i;
}

TEST(MakeTwoSidedSpectrum, BandPassRecordsUseTheMeasuredPoints)
{
    const double df = 10e6;
    {
        const RealVector f = {1e9, 1e9 + df, 1e9 + 2 * df, 1e9 + 3 * df};
        const ComplexVector s = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        const TwoSidedSpectrum r = makeTwoSidedSpectrum(f, s, Complex(5.0, 0.0), GridMode::BandPass);
        EXPECT_EQ(r.positions, (RealVector{0, 1, 2, 3}));
        EXPECT_EQ(r.spectrum, s); // the DC value plays no part
        const RealVector expected = {-1 / (2 * df), -1 / (4 * df), 0.0, 1 / (4 * df)};
        ASSERT_EQ(r.time.size(), 4u);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_NEAR(r.time[i], expected[i], 1e-20) << i;
    }
    {
        // odd count: symmetric about 0 with spacing 1/(N df)
        const RealVector f = {2e9, 2e9 + df, 2e9 + 2 * df, 2e9 + 3 * df, 2e9 + 4 * df};
        const ComplexVector s(5, Complex(1.0, 0.0));
        const TwoSidedSpectrum r = makeTwoSidedSpectrum(f, s, Complex(0.0, 0.0), GridMode::BandPass);
        ASSERT_EQ(r.time.size(), 5u);
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(r.time[i], (i - 2) / (5 * df), 1e-20) << i;
    }
}

TEST(MakeTwoSidedSpectrum, RefusesUnusableInput)
{
    const RealVector f = {1e9, 2e9, 3e9};
    const ComplexVector s(3, Complex(1.0, 0.0));
    const Complex dc(1.0, 0.0);
    const auto isEmpty = [](const TwoSidedSpectrum &r) {
        return r.positions.empty() && r.spectrum.empty() && r.time.empty();
    };
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum(f, s, dc, static_cast<GridMode>(2))));
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum(f, s, dc, static_cast<GridMode>(-1))));
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum(f, ComplexVector(2), dc, GridMode::LowPass)));
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum({1e9}, {dc}, dc, GridMode::BandPass)));
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum({1e9, kInf, 3e9}, s, dc, GridMode::LowPass)));
    // all points equal: zero span in band-pass mode
    EXPECT_TRUE(isEmpty(makeTwoSidedSpectrum({1e9, 1e9, 1e9}, s, dc, GridMode::BandPass)));
}

TEST(ExtrapolateDcValue, RecoversTheDcOfAPulseThatIsZeroBeforeItStarts)
{
    for (size_t n : {10u, 11u, 20u, 50u, 201u, 1000u}) {
        const double df = 50e6;
        const double nd = static_cast<double>(n);
        // centre the pulse in the part of the period the estimate does not look at
        const double tau = (0.5 - 2.0 / nd) / 2.0 / df;
        for (double dcValue : {1.0, -0.37, 2.5}) {
            const ComplexVector s = cosinePowerPulse(n, n, df, tau, dcValue);
            const double estimate = extrapolateDcValue(s, df * nd);
            EXPECT_NEAR(estimate, dcValue, 1e-6 * std::abs(dcValue)) << "N = " << n;
        }
    }
}

TEST(ExtrapolateDcValue, IsLinearInTheSpectrum)
{
    const size_t n = 64;
    const double df = 100e6;
    const ComplexVector zeros(n, Complex(0.0, 0.0));
    EXPECT_EQ(extrapolateDcValue(zeros, df * n), 0.0);

    // an arbitrary spectrum (not a clean pulse): the estimate scales with it
    ComplexVector s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = std::polar(1.0 / (1.0 + 0.1 * i), -0.7 * i * i);
    const double base = extrapolateDcValue(s, df * n);
    ComplexVector scaled = s;
    for (Complex &v : scaled)
        v *= -3.0;
    EXPECT_NEAR(extrapolateDcValue(scaled, df * n), -3.0 * base, 1e-12 * (1.0 + std::abs(base)));
}

TEST(ExtrapolateDcValue, NonFiniteInputGivesANonFiniteResult)
{
    ComplexVector s(20, Complex(0.5, 0.0));
    s[7] = Complex(kNaN, 0.0);
    EXPECT_FALSE(std::isfinite(extrapolateDcValue(s, 20e9)));
    EXPECT_FALSE(std::isfinite(extrapolateDcValue({}, 20e9)));
}

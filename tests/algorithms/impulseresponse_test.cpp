#include "algorithms/impulseresponse.h"
#include "algorithms/lowpassspectrum.h"

#include "synthnet/synthnet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Algorithms;

namespace {
constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// I0 by its power series, independent of the library's Bessel function.
double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 200; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < 1e-18 * sum)
            break;
    }
    return sum;
}

ComplexVector delayedUnit(const RealVector &f, double tau)
{
    ComplexVector s(f.size());
    for (size_t i = 0; i < f.size(); ++i)
        s[i] = std::polar(1.0, -2.0 * kPi * f[i] * tau);
    return s;
}

// Unit-DC periodic pulse (1 + cos(2 pi df (t - tau)))^N, exact in N harmonics.
ComplexVector cosinePowerPulse(size_t n, double df, double tau)
{
    ComplexVector s(n);
    double ratio = 1.0;
    for (size_t h = 1; h <= n; ++h) {
        ratio *= static_cast<double>(n - h + 1) / static_cast<double>(n + h);
        s[h - 1] = ratio * std::polar(1.0, -2.0 * kPi * static_cast<double>(h) * df * tau);
    }
    return s;
}

// sum over k = -N..N of w_k S_k e^(j 2 pi k df t) / sum w, S_0 = dc, S_-k = conj S_k,
// w_k = I0(beta sqrt(1 - (k/N)^2)) / I0(beta).
Complex lowPassSum(const ComplexVector &s, double dc, double df, double beta, double t)
{
    const double n = static_cast<double>(s.size());
    Complex sum = dc;
    double wSum = 1.0;
    for (size_t k = 1; k <= s.size(); ++k) {
        const double kd = static_cast<double>(k);
        const double w = besselI0(beta * std::sqrt(1.0 - (kd / n) * (kd / n))) / besselI0(beta);
        const Complex e = std::polar(1.0, 2.0 * kPi * kd * df * t);
        sum += w * (s[k - 1] * e + std::conj(s[k - 1]) * std::conj(e));
        wSum += 2.0 * w;
    }
    return sum / wSum;
}

// Band-pass envelope: sum over n of w_n S_n e^(j 2 pi n df t) / sum w, Kaiser of length N.
Complex bandPassSum(const ComplexVector &s, double df, double beta, double t)
{
    const double nm1 = static_cast<double>(s.size() - 1);
    Complex sum = 0.0;
    double wSum = 0.0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double r = (2.0 * static_cast<double>(i) - nm1) / nm1;
        const double w = besselI0(beta * std::sqrt(1.0 - r * r)) / besselI0(beta);
        sum += w * s[i] * std::polar(1.0, 2.0 * kPi * static_cast<double>(i) * df * t);
        wSum += w;
    }
    return sum / wSum;
}
} // namespace

TEST(KaiserWeights, FollowTheWindowDefinition)
{
    // plain positions 0..K-1: the symmetric Kaiser window
    const RealVector p = {0, 1, 2, 3, 4, 5, 6};
    const RealVector w = kaiserWeights(p, 4.0);
    ASSERT_EQ(w.size(), p.size());
    for (size_t i = 0; i < p.size(); ++i) {
        const double r = (2.0 * i - 6.0) / 6.0;
        EXPECT_NEAR(w[i], besselI0(4.0 * std::sqrt(1 - r * r)) / besselI0(4.0), 1e-14) << i;
    }
    EXPECT_DOUBLE_EQ(w[3], 1.0);

    // low-pass positions: harmonic +-k gets I0(beta sqrt(1 - (k/N)^2)) / I0(beta)
    const size_t n = 5;
    const TwoSidedSpectrum two =
        makeTwoSidedSpectrum(SynthNet::harmonicGrid(1e9, n), ComplexVector(n), 0.0, GridMode::LowPass);
    const RealVector lw = kaiserWeights(two.positions, 2.5);
    ASSERT_EQ(lw.size(), 2 * n + 1);
    for (size_t k = 1; k <= n; ++k) {
        const double expected = besselI0(2.5 * std::sqrt(1.0 - (k / 5.0) * (k / 5.0))) / besselI0(2.5);
        EXPECT_NEAR(lw[k], expected, 1e-14) << "+" << k;
        EXPECT_NEAR(lw[2 * n + 1 - k], expected, 1e-14) << "-" << k;
    }
    EXPECT_DOUBLE_EQ(lw[0], 1.0);
}

TEST(KaiserWeights, DegenerateWindows)
{
    EXPECT_EQ(kaiserWeights({3.0}, 6.0), RealVector{1.0}); // one point, no division by zero
    EXPECT_TRUE(kaiserWeights({}, 6.0).empty());
    EXPECT_EQ(kaiserWeights({0, 1, 2, 3}, 0.0), RealVector(4, 1.0));
    // negative shape behaves like its magnitude (I0 is even)
    EXPECT_EQ(kaiserWeights({0, 1, 2, 3}, -3.0), kaiserWeights({0, 1, 2, 3}, 3.0));
}

TEST(ImpulseResponse, LowPassMatchesTheDirectFourierSum)
{
    const size_t n = 40;
    const double df = 250e6;
    const RealVector f = SynthNet::harmonicGrid(df, n);
    // centred in the part of the period the DC estimate ignores, so dc = 1
    const ComplexVector s = cosinePowerPulse(n, df, (0.5 - 2.0 / n) / 2.0 / df);
    for (double beta : {0.0, 3.0, 6.0}) {
        // natural grid and a zoomed span
        for (auto span : {std::pair<double, double>{0.0, 0.0}, {0.7e-9, 1.1e-9}}) {
            const TimeDomainResponse r = computeImpulseResponse(s, f, span.first, span.second, beta, GridMode::LowPass);
            ASSERT_EQ(r.time.size(), 2 * n + 1);
            ASSERT_EQ(r.values.size(), 2 * n + 1);
            for (size_t i = 0; i < r.time.size(); ++i) {
                const Complex expected = lowPassSum(s, 1.0, df, beta, r.time[i]);
                EXPECT_LT(std::abs(r.values[i] - expected), 1e-7) << "beta " << beta << " t " << r.time[i];
            }
            if (span.first < span.second) {
                EXPECT_DOUBLE_EQ(r.time.front(), span.first);
                EXPECT_DOUBLE_EQ(r.time.back(), span.second);
            }
        }
    }
}

TEST(ImpulseResponse, NaturalGridIsCentredOnZero)
{
    const size_t n = 10;
    const double df = 1e9;
    const RealVector f = SynthNet::harmonicGrid(df, n);
    const TimeDomainResponse r = computeImpulseResponse(delayedUnit(f, 0.1e-9), f, 0.0, 0.0, 0.0, GridMode::LowPass);
    ASSERT_EQ(r.time.size(), 21u);
    for (size_t i = 0; i < 21; ++i)
        EXPECT_NEAR(r.time[i], (static_cast<double>(i) - 10.0) / (21.0 * df), 1e-22);
    // tStart > tEnd also selects the natural grid
    const TimeDomainResponse reversed =
        computeImpulseResponse(delayedUnit(f, 0.1e-9), f, 1e-9, -1e-9, 0.0, GridMode::LowPass);
    EXPECT_EQ(reversed.time, r.time);
}

TEST(ImpulseResponse, CoarseThenRefinedPeakFindsTheDelay)
{
    const double df = 100e6;
    const RealVector f = SynthNet::harmonicGrid(df, 200); // up to 20 GHz
    for (double tau : {0.4321e-9, 1.23456e-9, 3.0e-9}) {
        const ComplexVector s = delayedUnit(f, tau);
        const TimeDomainResponse coarse = computeImpulseResponse(s, f, 0.0, 0.0, 0.0, GridMode::LowPass);
        ASSERT_FALSE(coarse.values.empty());
        const double coarsePeak = coarse.time[findPeak(coarse.values).index];
        const double half = 4 * 50e-12;
        const TimeDomainResponse fine =
            computeImpulseResponse(s, f, coarsePeak - half, coarsePeak + half, 3.0, GridMode::LowPass);
        ASSERT_FALSE(fine.values.empty());
        const double step = fine.time[1] - fine.time[0];
        const double delay = fine.time[findPeak(fine.values).index];
        EXPECT_LE(std::abs(delay - tau), step / 2 + 1e-18) << "tau " << tau;
    }
}

TEST(ImpulseResponse, BandPassConstantSpectrumIsUnityAtZero)
{
    for (size_t n : {31u, 32u}) {
        const double df = 20e6;
        const RealVector f = SynthNet::uniformGrid(2e9, 2e9 + df * (n - 1), n);
        const TimeDomainResponse r =
            computeImpulseResponse(ComplexVector(n, Complex(1.0, 0.0)), f, 0.0, 0.0, 0.0, GridMode::BandPass);
        ASSERT_EQ(r.values.size(), n);
        size_t zero = n;
        for (size_t i = 0; i < n; ++i) {
            if (std::abs(r.time[i]) < 1e-18)
                zero = i;
        }
        ASSERT_LT(zero, n) << "t = 0 is a grid point";
        EXPECT_NEAR(std::abs(r.values[zero]), 1.0, 1e-12);
        for (size_t i = 0; i < n; ++i) {
            if (i != zero) {
                EXPECT_LT(std::abs(r.values[i]), 1.0 - 1e-6) << i;
            }
        }
    }
}

TEST(ImpulseResponse, BandPassEnvelopeMatchesTheDirectSumAndPeaksAtTheDelay)
{
    const size_t n = 101;
    const double df = 50e6;
    const RealVector f = SynthNet::uniformGrid(1e9, 1e9 + df * (n - 1), n);
    const double tau = 0.7e-9;
    const ComplexVector s = delayedUnit(f, tau);
    const TimeDomainResponse r = computeImpulseResponse(s, f, 0.5e-9, 0.9e-9, 3.0, GridMode::BandPass);
    ASSERT_EQ(r.values.size(), n);
    for (size_t i = 0; i < n; ++i) {
        // the envelope is referred to the first measured point
        const Complex expected = bandPassSum(s, df, 3.0, r.time[i]);
        EXPECT_LT(std::abs(r.values[i] - expected), 1e-9) << i;
    }
    const double step = r.time[1] - r.time[0];
    EXPECT_LE(std::abs(r.time[findPeak(r.values).index] - tau), step / 2 + 1e-18);
}

TEST(ImpulseResponse, NonFiniteOrMalformedInputGivesAnEmptyResult)
{
    const RealVector lowGrid = SynthNet::harmonicGrid(100e6, 50);
    const RealVector bandGrid = SynthNet::uniformGrid(1e9, 2e9, 50);
    for (GridMode mode : {GridMode::LowPass, GridMode::BandPass}) {
        const RealVector &f = mode == GridMode::LowPass ? lowGrid : bandGrid;
        for (size_t at : {0u, 17u, 49u}) {
            ComplexVector s = delayedUnit(f, 1e-9);
            s[at] = Complex(kNaN, 0.0);
            const TimeDomainResponse r = computeImpulseResponse(s, f, 0.0, 0.0, 3.0, mode);
            EXPECT_TRUE(r.time.empty() && r.values.empty()) << "mode " << static_cast<int>(mode) << " at " << at;
            s[at] = Complex(0.0, std::numeric_limits<double>::infinity());
            EXPECT_TRUE(computeImpulseResponse(s, f, 0.0, 0.0, 3.0, mode).values.empty());
        }
        RealVector badGrid = f;
        badGrid[20] = kNaN;
        EXPECT_TRUE(computeImpulseResponse(delayedUnit(f, 1e-9), badGrid, 0, 0, 0, mode).values.empty());
        EXPECT_TRUE(computeImpulseResponse(ComplexVector(49), f, 0, 0, 0, mode).values.empty());
    }
    EXPECT_TRUE(
        computeImpulseResponse(delayedUnit(lowGrid, 1e-9), lowGrid, 0, 0, 0, static_cast<GridMode>(2)).values.empty());
    EXPECT_TRUE(computeImpulseResponse({}, {}, 0, 0, 0, GridMode::LowPass).values.empty());
}

TEST(FindPeak, FirstLargestMagnitude)
{
    const Peak p = findPeak({Complex(1, 0), Complex(-3, 0), Complex(0, 3), Complex(2, 0)});
    EXPECT_DOUBLE_EQ(p.magnitude, 3.0);
    EXPECT_EQ(p.index, 1u);

    const Peak q = findPeak({Complex(0.5, 0), Complex(3, 4), Complex(0, 1)});
    EXPECT_DOUBLE_EQ(q.magnitude, 5.0);
    EXPECT_EQ(q.index, 1u);

    const Peak e = findPeak({});
    EXPECT_EQ(e.magnitude, 0.0);
    EXPECT_EQ(e.index, 0u);
}

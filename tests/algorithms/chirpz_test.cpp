#include "algorithms/chirpz.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

using namespace Algorithms;

namespace {
const double kPi = 3.14159265358979323846;

// Direct O(N^2) evaluation of the transform's definition.
ComplexVector directSum(const ComplexVector &x, Complex A, Complex W, const RealVector &w, GridMode mode)
{
    const size_t n = x.size();
    const double h = mode == GridMode::LowPass ? static_cast<double>((n - 1) / 2) : 0.0;
    ComplexVector X(n);
    for (size_t k = 0; k < n; ++k) {
        Complex sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const double e = static_cast<double>(i) - h;
            sum += x[i] * w[i] * std::pow(A, e) * std::pow(W, e * static_cast<double>(k));
        }
        X[k] = sum;
    }
    return X;
}

struct Case
{
    size_t n;
    GridMode mode;
    bool onCircle;
};

class ChirpZAgainstDirectSum : public ::testing::TestWithParam<Case>
{};
} // namespace

TEST_P(ChirpZAgainstDirectSum, MatchesDefinition)
{
    const Case c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(c.n * 7 + static_cast<int>(c.mode)));
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    ComplexVector x(c.n);
    RealVector weights(c.n + 3); // more weights than samples is allowed
    for (auto &v : x)
        v = {u(rng), u(rng)};
    for (auto &w : weights)
        w = 0.5 + 0.5 * std::abs(u(rng));

    const double nn = static_cast<double>(c.n);
    // Off the unit circle the moduli are chosen so the powers stay finite.
    const double aMod = c.onCircle ? 1.0 : std::exp(-0.7 / nn);
    const double wMod = c.onCircle ? 1.0 : std::exp(0.4 / (nn * nn));
    const Complex A = std::polar(aMod, 2 * kPi * 0.137);
    const Complex W = std::polar(wMod, -2 * kPi * 0.731 / nn);

    const ComplexVector fast = chirpZTransform(x, A, W, weights, c.mode);
    const ComplexVector slow = directSum(x, A, W, weights, c.mode);
    ASSERT_EQ(fast.size(), c.n);
    double scale = 0;
    for (size_t i = 0; i < c.n; ++i)
        scale = std::max(scale, std::abs(slow[i]));
    for (size_t k = 0; k < c.n; ++k)
        EXPECT_LT(std::abs(fast[k] - slow[k]), 1e-10 * (1.0 + scale)) << "k = " << k;
}

static std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (size_t n : {1, 2, 3, 5, 8, 37, 1000})
        for (GridMode mode : {GridMode::LowPass, GridMode::BandPass})
            for (bool on : {true, false})
                cases.push_back({n, mode, on});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChirpZAgainstDirectSum, ::testing::ValuesIn(allCases()),
                         [](const ::testing::TestParamInfo<Case> &info) {
                             return "N" + std::to_string(info.param.n) + "_mode"
                                    + std::to_string(static_cast<int>(info.param.mode))
                                    + (info.param.onCircle ? "_unit" : "_off");
                         });

TEST(ChirpZ, UnitContourIsTheDft)
{
    for (size_t n : {4, 7, 64, 129}) {
        ComplexVector x(n);
        for (size_t i = 0; i < n; ++i)
            x[i] = {std::cos(0.3 * i), std::sin(1.1 * i) - 0.2};
        const ComplexVector X =
            chirpZTransform(x, 1.0, std::polar(1.0, -2 * kPi / n), RealVector(n, 1.0), GridMode::BandPass);
        for (size_t k = 0; k < n; ++k) {
            Complex dft = 0;
            for (size_t i = 0; i < n; ++i)
                dft += x[i] * std::polar(1.0, -2 * kPi * double(i * k % n) / n);
            EXPECT_LT(std::abs(X[k] - dft), 1e-11 * n) << "n " << n << " k " << k;
        }
    }
}

TEST(ChirpZ, CentredModeAndWeights)
{
    // N = 1: the single weighted sample in both modes.
    for (GridMode mode : {GridMode::LowPass, GridMode::BandPass}) {
        const ComplexVector X = chirpZTransform({{2, -3}}, {0.3, 0.4}, {0.1, 0.9}, {0.5}, mode);
        ASSERT_EQ(X.size(), 1u);
        EXPECT_LT(std::abs(X[0] - Complex(1, -1.5)), 1e-15);
    }
    // Mode 0, N = 5: sample 2 enters with exponent 0 for every k.
    ComplexVector x(5, 0.0);
    x[2] = 1.0;
    const ComplexVector X =
        chirpZTransform(x, std::polar(1.0, 0.3), std::polar(1.0, -0.9), {1, 1, 0.75, 1, 1}, GridMode::LowPass);
    for (const Complex &v : X)
        EXPECT_LT(std::abs(v - 0.75), 1e-14);
    // Zero weights remove samples exactly.
    ComplexVector y{{1, 0}, {1e6, 1e6}, {2, 0}};
    const ComplexVector masked = chirpZTransform(y, 1.0, std::polar(1.0, -0.4), {1, 0, 1}, GridMode::BandPass);
    y[1] = 0;
    const ComplexVector plain = chirpZTransform(y, 1.0, std::polar(1.0, -0.4), {1, 1, 1}, GridMode::BandPass);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_LT(std::abs(masked[k] - plain[k]), 1e-9);
}

TEST(ChirpZ, RefusesEmptyInputAndShortWeights)
{
    EXPECT_TRUE(chirpZTransform({}, 1.0, 1.0, {}, GridMode::BandPass).empty());
    EXPECT_TRUE(chirpZTransform({{1, 0}, {2, 0}, {3, 0}}, 1.0, 1.0, {1, 1}, GridMode::LowPass).empty());
}

namespace {
// The transform's definition summed in long double, for unit-modulus A and W
// (the contour every caller uses): exact phases n·arg A + n·k·arg W.
ComplexVector referenceSum(const ComplexVector &x, Complex A, Complex W, const RealVector &w, GridMode mode)
{
    using LComplex = std::complex<long double>;
    const size_t n = x.size();
    const long double h = mode == GridMode::LowPass ? static_cast<long double>((n - 1) / 2) : 0.0L;
    const long double argA = std::atan2(static_cast<long double>(A.imag()), static_cast<long double>(A.real()));
    const long double argW = std::atan2(static_cast<long double>(W.imag()), static_cast<long double>(W.real()));
    ComplexVector X(n);
    for (size_t k = 0; k < n; ++k) {
        LComplex sum = 0;
        for (size_t i = 0; i < n; ++i) {
            const long double e = static_cast<long double>(i) - h;
            const long double phase = e * argA + e * static_cast<long double>(k) * argW;
            sum += LComplex(x[i].real(), x[i].imag()) * static_cast<long double>(w[i])
                   * LComplex(std::cos(phase), std::sin(phase));
        }
        X[k] = Complex(static_cast<double>(sum.real()), static_cast<double>(sum.imag()));
    }
    return X;
}

// A time-domain evaluation as the impulse response makes it: a Kaiser-like
// window over a two-sided spectrum, a span of times inside the natural one.
struct Transform
{
    ComplexVector x;
    RealVector weights;
    Complex A, W;
};

Transform responseLike(size_t n, double start, double span, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Transform t;
    t.x.resize(n);
    t.weights.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const double r = (2.0 * i - (n - 1.0)) / (n - 1.0);
        t.weights[i] =
            std::cyl_bessel_i(0.0, 3.0 * std::sqrt(std::max(0.0, 1.0 - r * r))) / std::cyl_bessel_i(0.0, 3.0);
        t.x[i] = {u(rng), u(rng)};
    }
    t.A = std::polar(1.0, 2 * kPi * start / n);
    t.W = std::polar(1.0, 2 * kPi * span / (n * (n - 1.0)));
    return t;
}
} // namespace

TEST(ChirpZ, WithinRoundingOfTheDefinitionAt1601Points)
{
    // The relative error is measured against the largest output.
    for (GridMode mode : {GridMode::LowPass, GridMode::BandPass}) {
        const Transform t = responseLike(1601, -700.3, 1400.0, 11u + static_cast<unsigned>(mode));
        const ComplexVector fast = chirpZTransform(t.x, t.A, t.W, t.weights, mode);
        const ComplexVector exact = referenceSum(t.x, t.A, t.W, t.weights, mode);
        ASSERT_EQ(fast.size(), exact.size());
        double scale = 0, worst = 0;
        for (size_t k = 0; k < exact.size(); ++k) {
            scale = std::max(scale, std::abs(exact[k]));
            worst = std::max(worst, std::abs(fast[k] - exact[k]));
        }
        EXPECT_LT(worst, 1e-12 * scale) << "mode " << static_cast<int>(mode) << ": " << worst / scale;
    }
}

TEST(ChirpZ, RepeatedAndInterleavedCallsAgree)
{
    // Work kept between calls (plans, chirps) must never leak into another
    // call: the same transform gives the same bits after calls of other
    // lengths and contours, and on another thread.
    const Transform t = responseLike(301, -100.0, 250.0, 5u);
    const ComplexVector first = chirpZTransform(t.x, t.A, t.W, t.weights, GridMode::LowPass);
    for (size_t n : {301, 300, 17, 301, 1000, 301}) {
        for (double span : {10.0, 20.0, 30.0, 40.0, 50.0, 60.0}) {
            const Transform other = responseLike(n, -3.0, span, 9u);
            const ComplexVector a = chirpZTransform(other.x, other.A, other.W, other.weights, GridMode::BandPass);
            ASSERT_EQ(a.size(), n);
        }
    }
    EXPECT_EQ(chirpZTransform(t.x, t.A, t.W, t.weights, GridMode::LowPass), first);

    ComplexVector elsewhere;
    std::thread worker([&] { elsewhere = chirpZTransform(t.x, t.A, t.W, t.weights, GridMode::LowPass); });
    worker.join();
    EXPECT_EQ(elsewhere, first);
}

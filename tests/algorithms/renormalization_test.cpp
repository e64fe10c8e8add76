#include "algorithms/renormalization.h"

#include "synthnet/synthnet.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace Algorithms;

namespace {
using Matrix2c = Eigen::Matrix2cd;

Matrix2c toMatrix(const TwoPortMatrix &s)
{
    Matrix2c m;
    m << s[0], s[2], s[1], s[3]; // column-major S11, S21, S12, S22
    return m;
}

TwoPortMatrix fromMatrix(const Matrix2c &m)
{
    return {m(0, 0), m(1, 0), m(0, 1), m(1, 1)};
}

// Z = sqrt(Zf) (I + S)(I - S)^-1 sqrt(Zf), Zn = sqrt(Zt)^-1 Z sqrt(Zt)^-1,
// S' = (Zn - I)(Zn + I)^-1.
TwoPortMatrix textbook(const TwoPortMatrix &s, const ImpedancePair &zFrom, const ImpedancePair &zTo)
{
    const Matrix2c id = Matrix2c::Identity();
    const Matrix2c sm = toMatrix(s);
    Matrix2c rootFrom = Matrix2c::Zero(), invRootTo = Matrix2c::Zero();
    for (int i = 0; i < 2; ++i) {
        rootFrom(i, i) = std::sqrt(zFrom[i]);
        invRootTo(i, i) = 1.0 / std::sqrt(zTo[i]);
    }
    const Matrix2c z = rootFrom * (id + sm) * (id - sm).inverse() * rootFrom;
    const Matrix2c zn = invRootTo * z * invRootTo;
    return fromMatrix((zn - id) * (zn + id).inverse());
}

double maxDifference(const TwoPortMatrix &a, const TwoPortMatrix &b)
{
    double d = 0.0;
    for (int i = 0; i < 4; ++i)
        d = std::max(d, std::abs(a[i] - b[i]));
    return d;
}

bool allZero(const TwoPortMatrix &m)
{
    for (const Complex &v : m) {
        if (v != Complex(0.0, 0.0))
            return false;
    }
    return true;
}
} // namespace

TEST(RenormalizeTwoPort, WorkedExamples)
{
    const TwoPortMatrix thru{0.0, 1.0, 1.0, 0.0};

    // same impedances: unchanged
    const TwoPortMatrix s{Complex(0.1, -0.2), Complex(0.7, 0.3), Complex(0.5, -0.1), Complex(-0.3, 0.05)};
    EXPECT_LT(maxDifference(renormalizeTwoPort(s, {50, 40}, {50, 40}), s), 1e-15);

    // a thru stays a thru when both ports change alike
    EXPECT_LT(maxDifference(renormalizeTwoPort(thru, {50, 50}, {25, 25}), thru), 1e-15);

    // a thru referred to (50, 40) seen in (50, 50)
    const TwoPortMatrix r = renormalizeTwoPort(thru, {50, 40}, {50, 50});
    EXPECT_NEAR(std::abs(r[0] - 1.0 / 9.0), 0.0, 1e-15); // S11
    EXPECT_NEAR(std::abs(r[3] + 1.0 / 9.0), 0.0, 1e-15); // S22
    EXPECT_NEAR(std::abs(r[1] - std::sqrt(2000.0) / 45.0), 0.0, 1e-15); // S21
    EXPECT_NEAR(std::abs(r[2] - std::sqrt(2000.0) / 45.0), 0.0, 1e-15); // S12
    EXPECT_NEAR(r[1].real(), 0.993808, 1e-6);
}

TEST(RenormalizeTwoPort, MatchesTheImpedanceMatrixFormulaOnNonReciprocalMatrices)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> part(-0.6, 0.6);
    std::uniform_real_distribution<double> impedance(5.0, 300.0);
    for (int trial = 0; trial < 500; ++trial) {
        const TwoPortMatrix s{Complex(part(rng), part(rng)), Complex(part(rng), part(rng)),
                              Complex(part(rng), part(rng)), Complex(part(rng), part(rng))};
        const ImpedancePair zFrom{impedance(rng), impedance(rng)};
        const ImpedancePair zTo{impedance(rng), impedance(rng)};
        const TwoPortMatrix expected = textbook(s, zFrom, zTo);
        const TwoPortMatrix got = renormalizeTwoPort(s, zFrom, zTo);
        const double scale =
            1.0 + std::abs(expected[0]) + std::abs(expected[1]) + std::abs(expected[2]) + std::abs(expected[3]);
        EXPECT_LT(maxDifference(got, expected), 1e-12 * scale) << "trial " << trial;

        // the comparison tells S12 from S21: the transposed matrix gives a
        // clearly different answer
        const TwoPortMatrix transposed{s[0], s[2], s[1], s[3]};
        if (std::abs(s[1] - s[2]) > 0.1) {
            EXPECT_GT(maxDifference(got, textbook(transposed, zFrom, zTo)), 1e-3) << trial;
        }
    }
}

TEST(RenormalizeTwoPort, AgreesWithNetworksReferredToOtherImpedances)
{
    const RealVector f = SynthNet::uniformGrid(10e6, 20e9, 41);
    const SynthNet::Network n =
        SynthNet::cascade({SynthNet::seriesRL(f, 3.0, 0.4e-9), SynthNet::line(f, {62.0, 120e-12, 0.3}),
                           SynthNet::shuntGC(f, 1e-3, 0.2e-12)});
    const SParametersTwoPort from = SynthNet::toS(n, 50.0, 40.0);
    const SParametersTwoPort to = SynthNet::toS(n, 25.0, 75.0);
    for (size_t i = 0; i < f.size(); ++i) {
        const TwoPortMatrix s{from.s11()[i], from.s21()[i], from.s12()[i], from.s22()[i]};
        const TwoPortMatrix expected{to.s11()[i], to.s21()[i], to.s12()[i], to.s22()[i]};
        EXPECT_LT(maxDifference(renormalizeTwoPort(s, {50, 40}, {25, 75}), expected), 1e-12) << i;
    }
    // a 60 ohm line is matched when referred to 60 ohm
    const SParametersTwoPort line = SynthNet::toS(SynthNet::line(f, {60.0, 200e-12, 0.0}), 50, 50);
    for (size_t i = 0; i < f.size(); ++i) {
        const TwoPortMatrix s{line.s11()[i], line.s21()[i], line.s12()[i], line.s22()[i]};
        const TwoPortMatrix r = renormalizeTwoPort(s, {50, 50}, {60, 60});
        EXPECT_LT(std::abs(r[0]), 1e-12);
        EXPECT_LT(std::abs(r[3]), 1e-12);
        EXPECT_NEAR(std::abs(r[1]), 1.0, 1e-12);
    }
}

TEST(RenormalizeTwoPort, ThereAndBackIsTheIdentity)
{
    std::mt19937 rng(777);
    std::uniform_real_distribution<double> part(-0.6, 0.6);
    std::uniform_real_distribution<double> impedance(5.0, 300.0);
    for (int trial = 0; trial < 200; ++trial) {
        const TwoPortMatrix s{Complex(part(rng), part(rng)), Complex(part(rng), part(rng)),
                              Complex(part(rng), part(rng)), Complex(part(rng), part(rng))};
        const ImpedancePair a{impedance(rng), impedance(rng)};
        const ImpedancePair b{impedance(rng), impedance(rng)};
        const TwoPortMatrix back = renormalizeTwoPort(renormalizeTwoPort(s, a, b), b, a);
        EXPECT_LT(maxDifference(back, s), 1e-11) << trial;
    }
}

TEST(RenormalizeTwoPort, UnusableImpedancesGiveFourZeros)
{
    const TwoPortMatrix s{Complex(0.1, 0.0), Complex(0.9, 0.1), Complex(0.8, -0.1), Complex(0.2, 0.0)};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<ImpedancePair, ImpedancePair> cases[] = {
        {{-50, 50}, {50, 50}}, {{50, -50}, {50, 50}},  {{50, 50}, {-50, 50}},
        {{50, 50}, {50, -50}}, {{-50, 50}, {-25, 50}}, // both negative on one port: the ratio alone would pass
        {{0, 50}, {50, 50}},   {{50, 50}, {0, 50}},    {{50, 50}, {50, 0}},
        {{nan, 50}, {50, 50}}, {{50, 50}, {50, inf}},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(allZero(renormalizeTwoPort(s, c.first, c.second)))
            << c.first[0] << " " << c.first[1] << " -> " << c.second[0] << " " << c.second[1];
    }
}

TEST(RenormalizeTwoPort, NoTransmissionGivesNonFiniteResults)
{
    const TwoPortMatrix s{Complex(0.3, 0.0), Complex(0.0, 0.0), Complex(0.2, 0.0), Complex(0.1, 0.0)};
    const TwoPortMatrix r = renormalizeTwoPort(s, {50, 50}, {60, 40});
    bool finite = true;
    for (const Complex &v : r)
        finite = finite && std::isfinite(v.real()) && std::isfinite(v.imag());
    EXPECT_FALSE(finite);
}

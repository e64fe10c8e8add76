#include "algorithms/ranges.h"
#include "algorithms/vectorhelpers.h"

#include "tests/support/logcapture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Algorithms;

namespace {
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
} // namespace

TEST(FuzzyEqual, FollowsRelativeRuleAndZeroOnlyEqualsZero)
{
    EXPECT_TRUE(fuzzyEqual(1.0, 1.0 + 1e-13));
    EXPECT_FALSE(fuzzyEqual(1.0, 1.0 + 1e-11));
    EXPECT_TRUE(fuzzyEqual(0.0, 0.0));
    EXPECT_FALSE(fuzzyEqual(0.0, 1e-300));
    EXPECT_TRUE(fuzzyEqual(1e9, 1e9 + 1e-4));
}

TEST(IsEqualVector, SizesAndAbsoluteTolerance)
{
    EXPECT_FALSE(isEqualVector({1.0, 2.0}, {1.0, 2.0, 3.0}));
    EXPECT_TRUE(isEqualVector({0.0, 2.0}, {1e-14, 2.0}));
    EXPECT_FALSE(isEqualVector({0.0, 2.0}, {1.1e-14, 2.0}));
    EXPECT_TRUE(isEqualVector({}, {}));
    EXPECT_FALSE(isEqualVector({kNan}, {kNan}));
}

TEST(Finiteness, ScalarsComplexAndVectors)
{
    EXPECT_TRUE(isFiniteValue(1.0));
    EXPECT_FALSE(isFiniteValue(kNan));
    EXPECT_FALSE(isFiniteValue(kInf));
    EXPECT_FALSE(isFiniteValue(-kInf));
    EXPECT_FALSE(isFiniteComplex({1.0, kNan}));
    EXPECT_TRUE(isFiniteComplex({1.0, -2.0}));

    {
        LogCapture log;
        EXPECT_FALSE(isFiniteVector({}));
        EXPECT_FALSE(isFiniteComplexVector({}));
        EXPECT_TRUE(log.lines().isEmpty());
    }
    {
        LogCapture log;
        EXPECT_FALSE(isFiniteVector({1.0, kNan, 3.0, kInf}));
        EXPECT_EQ(log.lines(), QStringList{"Invalid vector detected"});
    }
    {
        LogCapture log;
        EXPECT_FALSE(isFiniteComplexVector({{1, 0}, {0, -kInf}}));
        EXPECT_TRUE(isFiniteComplexVector({{1, 0}, {0, 2}}));
        EXPECT_EQ(log.lines().size(), 1);
    }
}

TEST(InterpolateDoubleValue, LineAndDegenerateBracket)
{
    EXPECT_DOUBLE_EQ(interpolateDoubleValue(1.5, 1, 2, 10, 20), 15.0);
    LogCapture log;
    EXPECT_EQ(interpolateDoubleValue(5, 2, 2, 1, 3), -1.0);
    EXPECT_EQ(log.lines(), QStringList{"interpolateDoubleValue: Divide by Zero!"});
}

TEST(Interp1, PointsOutOfRangeAndMalformedGrids)
{
    const RealVector x{0, 1, 2}, y{10, 20, 40};
    EXPECT_EQ(interp1(x, y, 0.0), 10.0);
    EXPECT_EQ(interp1(x, y, 2.0), 40.0);
    EXPECT_DOUBLE_EQ(interp1(x, y, 1.25), 25.0);
    {
        LogCapture log;
        EXPECT_EQ(interp1(x, y, 2.5), -1.0);
        EXPECT_EQ(interp1(x, {1, 2}, 1.0), -1.0);
        EXPECT_EQ(log.lines(), (QStringList{"ERROR INTERP1", "ERROR INTERP1"}));
    }
    {
        LogCapture log;
        EXPECT_EQ(interp1({1.0}, {5.0}, 1.0), -1.0);
        EXPECT_TRUE(log.lines().isEmpty());
    }
    {
        LogCapture log;
        EXPECT_EQ(interp1(x, y, kNan), -1.0); // no bracket holds a NaN
        EXPECT_EQ(log.lines(), QStringList{"ERROR2 INTERP1"});
    }
}

TEST(Interp1Vector, HoldsEndsAndScansForward)
{
    const RealVector x{0, 1, 2, 3}, y{0, 10, 20, 30};
    const RealVector r = interp1Vector(x, y, {-1, 0, 0.5, 1, 2.75, 3, 4});
    EXPECT_EQ(r, (RealVector{0, 0, 5, 10, 27.5, 30, 30}));
    // A query before the previous bracket is not found again.
    EXPECT_EQ(interp1Vector(x, y, {2.5, 0.5}), (RealVector{25, 0}));
    EXPECT_TRUE(interp1Vector(x, {1, 2}, {1}).empty());
    EXPECT_TRUE(interp1Vector({}, {}, {1, 2}).empty());
}

TEST(ResampleComplex, HoldsEndValuesAndIsIdentityOnItsGrid)
{
    const RealVector grid{1, 2, 3};
    const ComplexVector v{{1, -1}, {2, -4}, {3, 9}};
    EXPECT_EQ(resampleComplex(grid, v, grid), v);
    const ComplexVector r = resampleComplex(grid, v, {0, 1.5, 4});
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], Complex(1, -1));
    EXPECT_EQ(r[1], Complex(1.5, -2.5));
    EXPECT_EQ(r[2], Complex(3, 9));
}

TEST(UnwrapPhase, WorkedExampleAndLinearPhase)
{
    const RealVector u = unwrapPhase({0, 3, -3});
    ASSERT_EQ(u.size(), 3u);
    EXPECT_EQ(u[0], 0.0);
    EXPECT_EQ(u[1], 3.0);
    EXPECT_NEAR(u[2], -3 + 2 * M_PI, 1e-15);

    // A wrapped linear phase comes back as the straight line.
    RealVector wrapped, truth;
    for (int i = 0; i < 200; ++i) {
        truth.push_back(-0.7 * i);
        wrapped.push_back(std::arg(std::polar(1.0, truth.back())));
    }
    const RealVector un = unwrapPhase(wrapped);
    for (size_t i = 0; i < truth.size(); ++i)
        EXPECT_NEAR(un[i] - un[0], truth[i] - truth[0], 1e-9);
    EXPECT_EQ(unwrapPhase({1.25}), RealVector{1.25});
}

TEST(MakeRange, RealAndIntegerForms)
{
    const RealVector r = makeRange(0.0, 1.0, 0.3);
    ASSERT_EQ(r.size(), 4u);
    EXPECT_DOUBLE_EQ(r[1], 0.3);
    EXPECT_DOUBLE_EQ(r[2], 0.6);
    EXPECT_EQ(r[3], 1.0);
    EXPECT_EQ(makeRange(1, 10, 2), (std::vector<int>{1, 3, 5, 7, 10}));
    EXPECT_EQ(makeRange(4, 1, -1), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(makeRange(2.0, 2.0, 1.0), RealVector{2.0});
}

TEST(GatherAndConcat, OneBasedIndicesAndJoin)
{
    EXPECT_EQ(gatherByIndex(RealVector{1, 2, 3}, {3, 1}), (RealVector{3, 1}));
    EXPECT_EQ(gatherByIndex(ComplexVector{{1, 1}, {2, 2}}, {2, 2}), (ComplexVector{{2, 2}, {2, 2}}));
    EXPECT_TRUE(gatherByIndex(RealVector{1, 2}, {0}).empty());
    EXPECT_TRUE(gatherByIndex(RealVector{1, 2}, {3}).empty());
    EXPECT_EQ(concatWithValue({{1, 0}}, {2, 0}, {{3, 0}, {4, 0}}), (ComplexVector{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
}

TEST(Zip, WalksInStepAndRefusesUnequalSizes)
{
    std::vector<int> a{1, 2, 3};
    std::vector<double> b{0.5, 1.5, 2.5};
    double sum = 0;
    for (auto [x, y] : Helpers::Ranges::zip(a, b)) {
        sum += x * y;
        y = 0; // references into the containers
    }
    EXPECT_DOUBLE_EQ(sum, 0.5 + 3.0 + 7.5);
    EXPECT_EQ(b, (std::vector<double>{0, 0, 0}));

    std::vector<int> shorter{1};
    try {
        Helpers::Ranges::zip(a, shorter);
        FAIL() << "no exception";
    } catch (const std::exception &e) {
        EXPECT_STREQ(e.what(), "zip containers size are not equal");
    }
}

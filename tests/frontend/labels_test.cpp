// Loose nice-number tick labels, against hand-computed tables.
#include "frontend/labels.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <vector>

using Korvel::Frontend::NiceLabels;

namespace {

std::vector<double> toVector(const QVariantList &list)
{
    std::vector<double> out;
    for (const QVariant &v : list)
        out.push_back(v.toDouble());
    return out;
}

std::vector<double> descending(double high, double low, double step)
{
    std::vector<double> out;
    const int n = int(std::lround((high - low) / step));
    for (int i = 0; i <= n; ++i)
        out.push_back(high - i * step);
    return out;
}

} // namespace

TEST(NiceLabels, HandComputedRanges)
{
    struct Case
    {
        const char *what;
        double min, max;
        int ticks;
        std::vector<double> labels;
    };
    const Case cases[] = {
        // range 10, spacing nice(10/9) = 1.
        {"0 to 10", 0, 10, 10, descending(10, 0, 1)},
        // range nice(2) = 2, spacing nice(0.222) = 0.2, low -0.4, high 1.8.
        {"-0.3 to 1.7", -0.3, 1.7, 10, descending(1.8, -0.4, 0.2)},
        // range nice(94) = 100, spacing nice(11.1) = 10.
        {"3 to 97", 3, 97, 10, descending(100, 0, 10)},
        // range 5, spacing nice(0.556) = 0.5.
        {"-7.5 to -2.5", -7.5, -2.5, 10, descending(-2.5, -7.5, 0.5)},
        // five ticks: spacing nice(10/4 = 2.5) = 2.
        {"0 to 10 in five", 0, 10, 5, {10, 8, 6, 4, 2, 0}},
        // range nice(1e9) = 1e9, spacing nice(1.1e8) = 1e8.
        {"0 to 1 GHz", 0, 1e9, 10, descending(1e9, 0, 1e8)},
        // range nice(0.0036) = 0.005, spacing nice(0.00056) = 0.0005.
        {"1.0012 to 1.0048", 1.0012, 1.0048, 10, descending(1.005, 1.0010, 0.0005)},
        // two ticks: range nice(7) = 10, spacing nice(10) = 10.
        {"2 to 9 in two", 2, 9, 2, {10, 0}},
    };
    NiceLabels labels;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<double> got = toVector(labels.looseLabels(c.min, c.max, c.ticks));
        ASSERT_EQ(got.size(), c.labels.size());
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.labels[i], 1e-12 * std::max(1.0, std::abs(c.labels[i]))) << i;
        // Loose labels cover the range.
        EXPECT_GE(got.front(), c.max);
        EXPECT_LE(got.back(), c.min);
    }
}

TEST(NiceLabels, LabelsAreTheDecimalValuesThemselves)
{
    NiceLabels labels;
    // Repeated subtraction of 0.2 from 1.8 would give 2.8e-16 for zero and
    // 0.6000000000000002 for 0.6; an axis would show them as such.
    const std::vector<double> got = toVector(labels.looseLabels(-0.3, 1.7));
    ASSERT_EQ(got.size(), 12u);
    EXPECT_EQ(got[9], 0.0);
    EXPECT_EQ(got[6], 0.6);
    EXPECT_EQ(got[0], 1.8);
    EXPECT_EQ(got[11], -0.4);
    const std::vector<double> small = toVector(labels.looseLabels(-0.031, 0.069));
    ASSERT_FALSE(small.empty());
    EXPECT_EQ(small.front(), 0.07);
    bool hasZero = false;
    for (double v : small)
        hasZero = hasZero || v == 0.0;
    EXPECT_TRUE(hasZero);
}

TEST(NiceLabels, EmptyWhenThereIsNoRange)
{
    NiceLabels labels;
    EXPECT_TRUE(labels.looseLabels(5, 5).isEmpty());
    EXPECT_TRUE(labels.looseLabels(5, 4).isEmpty());
    EXPECT_TRUE(labels.looseLabels(0, 10, 1).isEmpty());
    EXPECT_TRUE(labels.looseLabels(0, 10, 0).isEmpty());
    EXPECT_TRUE(labels.looseLabels(0, 10, -3).isEmpty());
    EXPECT_TRUE(labels.looseLabels(std::nan(""), 10).isEmpty());
    EXPECT_TRUE(labels.looseLabels(0, INFINITY).isEmpty());
    EXPECT_TRUE(labels.looseLabels(-INFINITY, INFINITY).isEmpty());
}

TEST(NiceLabels, MinMaxOfTheLabels)
{
    NiceLabels labels;
    EXPECT_EQ(labels.looseLabelsMinMax(QPointF(0, 10)), QPointF(0, 10));
    EXPECT_EQ(labels.looseLabelsMinMax(QPointF(-0.3, 1.7)), QPointF(-0.4, 1.8));
    EXPECT_EQ(labels.looseLabelsMinMax(QPointF(3, 97)), QPointF(0, 100));
    const QPointF none = labels.looseLabelsMinMax(QPointF(5, 5));
    EXPECT_EQ(none.x(), 0.0);
    EXPECT_EQ(none.y(), 0.0);
    EXPECT_EQ(labels.looseLabelsMinMax(QPointF(5, 4)), QPointF(0, 0));
}

// A span of a few units on a value of 1e20 has label indices beyond the
// precision of a double; the list must still come back, short and in range.
TEST(NiceLabels, SpanBelowThePrecisionOfLargeValuesFinishes)
{
    NiceLabels labels;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<double> got = toVector(labels.looseLabels(1e20, 1e20 + 65536.0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_FALSE(got.empty());
    EXPECT_LE(got.size(), 30u);
    for (double v : got)
        EXPECT_NEAR(v, 1e20, 1e6);
}

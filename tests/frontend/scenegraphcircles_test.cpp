// Circle clipping helpers of the Smith grid, checked against plane geometry.
#include "frontend/scenegraphcircles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace Korvel::Frontend;

namespace {

constexpr double TwoPi = 2.0 * M_PI;

double sweep(const Arc &arc)
{
    double s = std::fmod(arc.endAngle - arc.startAngle, TwoPi);
    return s < 0 ? s + TwoPi : s;
}

double distance(double x1, double y1, double x2, double y2)
{
    return std::hypot(x2 - x1, y2 - y1);
}

} // namespace

TEST(CircleContains, InternalTangencyCountsAndPokingOutDoesNot)
{
    EXPECT_TRUE(circleContains({0, 0, 10}, {5, 0, 5})); // touches from inside
    EXPECT_TRUE(circleContains({0, 0, 10}, {0, 0, 10})); // itself
    EXPECT_FALSE(circleContains({0, 0, 10}, {6, 0, 5}));
    EXPECT_FALSE(circleContains({0, 0, 5}, {0, 0, 10}));
    EXPECT_TRUE(circleContains({0, 0, 10}, {3, 4, 5})); // distance 5 + 5 = 10
}

TEST(CircleIntersectionArc, CasesWithoutAPartialArc)
{
    struct Case
    {
        const char *what;
        Circle c1, c2;
        bool full;
    };
    const Case cases[] = {
        {"identical circles", {3, 4, 10}, {3, 4, 10}, false},
        {"apart", {0, 0, 5}, {20, 0, 5}, false},
        {"touching from outside", {0, 0, 5}, {10, 0, 5}, false},
        {"small inside big", {2, 1, 3}, {0, 0, 10}, true},
        {"small touching big from inside", {5, 0, 5}, {0, 0, 10}, true},
        {"big around small", {0, 0, 10}, {2, 1, 3}, false},
        {"concentric, first smaller", {0, 0, 4}, {0, 0, 9}, true},
        {"concentric, first larger", {0, 0, 9}, {0, 0, 4}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const Arc arc = circleIntersectionArc(c.c1, c.c2);
        if (c.full) {
            EXPECT_DOUBLE_EQ(arc.centerX, c.c1.x);
            EXPECT_DOUBLE_EQ(arc.centerY, c.c1.y);
            EXPECT_DOUBLE_EQ(arc.radius, c.c1.radius);
            EXPECT_DOUBLE_EQ(arc.startAngle, 0.0);
            EXPECT_DOUBLE_EQ(arc.endAngle, TwoPi);
        } else {
            EXPECT_TRUE(arc.isNull());
        }
    }
}

TEST(CircleIntersectionArc, EqualCirclesOneRadiusApartMeetAtSixtyDegrees)
{
    const Arc arc = circleIntersectionArc({0, 0, 10}, {10, 0, 10});
    EXPECT_DOUBLE_EQ(arc.radius, 10.0);
    EXPECT_NEAR(arc.startAngle, -M_PI / 3, 1e-12);
    EXPECT_NEAR(arc.endAngle, M_PI / 3, 1e-12);
}

// For random overlapping pairs, the arc runs between the two crossing points
// and every point of it lies inside c2, every other point of c1 outside.
TEST(CircleIntersectionArc, ArcIsExactlyThePartInsideTheOtherCircle)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-50, 50);
    std::uniform_int_distribution<int> radius(1, 60);
    int partial = 0;
    for (int n = 0; n < 2000; ++n) {
        const Circle c1{coord(rng), coord(rng), radius(rng)};
        const Circle c2{coord(rng), coord(rng), radius(rng)};
        const double d = distance(c1.x, c1.y, c2.x, c2.y);
        if (d >= c1.radius + c2.radius || d <= std::abs(c1.radius - c2.radius))
            continue;
        ++partial;
        const Arc arc = circleIntersectionArc(c1, c2);
        ASSERT_DOUBLE_EQ(arc.radius, c1.radius);
        // End points lie on both circles.
        for (double angle : {arc.startAngle, arc.endAngle}) {
            const double x = c1.x + c1.radius * std::cos(angle);
            const double y = c1.y + c1.radius * std::sin(angle);
            EXPECT_NEAR(distance(x, y, c2.x, c2.y), c2.radius, 1e-9);
        }
        const double span = sweep(arc);
        for (int k = 1; k < 16; ++k) {
            const double inside = arc.startAngle + span * k / 16.0;
            EXPECT_LT(distance(c1.x + c1.radius * std::cos(inside), c1.y + c1.radius * std::sin(inside), c2.x, c2.y),
                      c2.radius + 1e-9);
            const double outside = arc.endAngle + (TwoPi - span) * k / 16.0;
            EXPECT_GT(distance(c1.x + c1.radius * std::cos(outside), c1.y + c1.radius * std::sin(outside), c2.x, c2.y),
                      c2.radius - 1e-9);
        }
    }
    EXPECT_GT(partial, 200);
}

TEST(LineCircleIntersection, TableOfLines)
{
    struct Case
    {
        const char *what;
        QLine line;
        Circle circle;
        QPoint first, second;
    };
    const Case cases[] = {
        {"horizontal through the centre", QLine(-10, 0, 10, 0), {0, 0, 5}, {5, 0}, {-5, 0}},
        {"reversed direction", QLine(10, 0, -10, 0), {0, 0, 5}, {-5, 0}, {5, 0}},
        {"vertical off centre", QLine(103, 0, 103, 300), {100, 100, 5}, {103, 104}, {103, 96}},
        {"tangent", QLine(-10, 5, 10, 5), {0, 0, 5}, {0, 5}, {0, 5}},
        {"miss", QLine(-10, 6, 10, 6), {0, 0, 5}, {0, 0}, {0, 0}},
        // Points beyond the segment still count: it is the line that is cut.
        {"segment inside the circle", QLine(-1, 0, 1, 0), {0, 0, 5}, {5, 0}, {-5, 0}},
        {"diagonal, truncated", QLine(0, 0, 10, 10), {0, 0, 10}, {7, 7}, {-7, -7}},
        {"no length", QLine(3, 3, 3, 3), {0, 0, 5}, {0, 0}, {0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const auto points = lineCircleIntersection(c.line, c.circle);
        EXPECT_EQ(points.first, c.first);
        EXPECT_EQ(points.second, c.second);
    }
}

#pragma once
// Circle helpers used by the Smith grid to clip its circles and lines to
// the outer circle of the chart.

#include <QLine>
#include <QPoint>

#include <utility>

namespace Korvel {
namespace Frontend {

// Centre and radius in item pixels.
struct Circle
{
    int x = 0;
    int y = 0;
    int radius = 0;
};

// A circular arc; angles in radians as atan2 gives them in item coordinates
// (y down). Drawn from startAngle by the span (endAngle - startAngle) mod 2π.
// An all-zero arc means "no arc".
struct Arc
{
    double centerX = 0.0;
    double centerY = 0.0;
    double radius = 0.0;
    double startAngle = 0.0;
    double endAngle = 0.0;

    bool isNull() const
    {
        return centerX == 0.0 && centerY == 0.0 && radius == 0.0 && startAngle == 0.0 && endAngle == 0.0;
    }
};

// outer.radius >= inner.radius + distance of the centres.
bool circleContains(const Circle &outer, const Circle &inner);

// The part of c1 that lies inside c2: the full circle of c1 when c2 holds
// it, no arc when the circles are identical, apart, touching from outside,
// or when c1 holds c2.
Arc circleIntersectionArc(const Circle &c1, const Circle &c2);

// Where the line through line.p1() and line.p2() meets the circle, each
// coordinate truncated to an integer; both (0, 0) when it misses the circle
// or the line has no length.
std::pair<QPoint, QPoint> lineCircleIntersection(const QLine &line, const Circle &circle);

} // namespace Frontend
} // namespace Korvel

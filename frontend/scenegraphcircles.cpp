#include "frontend/scenegraphcircles.h"

#include <cmath>
#include <limits>

namespace Korvel {
namespace Frontend {

namespace {

double centreDistance(const Circle &a, const Circle &b)
{
    return std::hypot(double(b.x) - a.x, double(b.y) - a.y);
}

// Truncation towards zero that stays defined for values outside int.
int truncateToInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    if (v >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace

bool circleContains(const Circle &outer, const Circle &inner)
{
    return double(outer.radius) >= double(inner.radius) + centreDistance(outer, inner);
}

Arc circleIntersectionArc(const Circle &c1, const Circle &c2)
{
    if (c1.x == c2.x && c1.y == c2.y && c1.radius == c2.radius)
        return {};

    const double r1 = c1.radius;
    const double r2 = c2.radius;
    const double d = centreDistance(c1, c2);
    if (d >= r1 + r2)
        return {};
    if (circleContains(c2, c1))
        return {double(c1.x), double(c1.y), r1, 0.0, 2.0 * M_PI};
    if (circleContains(c1, c2))
        return {};
    if (d < std::abs(r1 - r2))
        return {};

    const double dx = double(c2.x) - c1.x;
    const double dy = double(c2.y) - c1.y;
    const double a = (r1 * r1 - r2 * r2 + d * d) / (2.0 * d);
    const double h = std::sqrt(std::max(0.0, r1 * r1 - a * a));
    const double px = c1.x + a * dx / d;
    const double py = c1.y + a * dy / d;
    const double q1x = px + h / d * dy;
    const double q1y = py - h / d * dx;
    const double q2x = px - h / d * dy;
    const double q2y = py + h / d * dx;
    return {double(c1.x), double(c1.y), r1, std::atan2(q1y - c1.y, q1x - c1.x), std::atan2(q2y - c1.y, q2x - c1.x)};
}

std::pair<QPoint, QPoint> lineCircleIntersection(const QLine &line, const Circle &circle)
{
    const double x1 = line.x1();
    const double y1 = line.y1();
    const double dx = double(line.x2()) - x1;
    const double dy = double(line.y2()) - y1;
    const double cx = circle.x;
    const double cy = circle.y;
    const double r = circle.radius;

    const double qa = dx * dx + dy * dy;
    // A line without length has no direction to solve along.
    if (qa == 0.0)
        return {QPoint(0, 0), QPoint(0, 0)};
    const double qb = 2.0 * ((y1 - cy) * dy + (x1 - cx) * dx);
    const double qc = cx * cx + cy * cy + x1 * x1 + y1 * y1 - 2.0 * (cx * x1 + cy * y1) - r * r;
    const double disc = qb * qb - 4.0 * qa * qc;
    if (disc < 0.0)
        return {QPoint(0, 0), QPoint(0, 0)};
    const double root = std::sqrt(disc);
    const double t1 = (-qb + root) / (2.0 * qa);
    const double t2 = (-qb - root) / (2.0 * qa);
    return {QPoint(truncateToInt(x1 + t1 * dx), truncateToInt(y1 + t1 * dy)),
            QPoint(truncateToInt(x1 + t2 * dx), truncateToInt(y1 + t2 * dy))};
}

} // namespace Frontend
} // namespace Korvel

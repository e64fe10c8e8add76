#include "frontend/gridsmith.h"

#include "frontend/scenegraphcircles.h"
#include "frontend/scenegraphnodes.h"

#include <QSGNode>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

constexpr double TwoPi = 2.0 * M_PI;

QLine clippedLine(const QLine &line, const Circle &clip)
{
    const auto points = lineCircleIntersection(line, clip);
    return QLine(points.first, points.second);
}

} // namespace

SmithGrid::SmithGrid(QQuickItem *parent) : AbstractGrid(parent) {}

void SmithGrid::setScale(double scale)
{
    if (qFuzzyCompare(m_scale, scale))
        return;
    m_scale = scale;
    markForRebuild();
    emit scaleChanged(scale);
}

void SmithGrid::setFlip(bool flip)
{
    if (m_flip == flip)
        return;
    m_flip = flip;
    markForRebuild();
    emit flipChanged(flip);
}

// The chart's measures for one rebuild: centre, radius R of the outer
// circle and unit radius Ru (R at scale 1) in pixels, the mirror sign K
// (-1 for the admittance chart), the open point xo and the clip circle.
struct SmithGrid::Layout
{
    int w;
    int h;
    int cx;
    int cy;
    int R;
    double s;
    double K;
    double Ru;
    double xo;
    Circle clip;
};

// Keeps the part of a circle inside the chart, when there is one.
void SmithGrid::addClipped(const Layout &g, QVector<Arc> &arcs, double x, double y, double radius)
{
    if (!fitsInt(x) || !fitsInt(y) || !fitsInt(radius))
        return;
    const Arc arc = circleIntersectionArc(Circle{rnd(x), rnd(y), rnd(radius)}, g.clip);
    if (arc.radius != 0.0)
        arcs.append(arc);
}

// Resistance circles r = -1/3, 0, 0.2, 0.5, 1, 2, 5 at scale 1.
void SmithGrid::addResistanceCircles(const Layout &g, QVector<Arc> &arcs)
{
    const double resistanceFactors[] = {1.0, 1.0 / 2, 1.0 / 3, 1.0 / 6, 0.0, -1.0 / 6, -1.0 / 3};
    for (double hf : resistanceFactors) {
        const double l = hf * g.R + g.Ru / 2.0;
        // Whole pixels, rounded down: the smallest circle at scale 1 (l = R / 6)
        // never falls below it.
        const int smallestRadius = std::min(g.w, g.h) / 12;
        if (l < smallestRadius)
            continue;
        addClipped(g, arcs, g.cx + g.K * (l - 2.0 * hf * g.R), g.cy, l);
        if (g.s > 1.0)
            addClipped(g, arcs, g.cx + g.K * (l + g.Ru), g.cy, l);
    }
}

// Reactance arcs, above and below the real axis, centred over the open point.
void SmithGrid::addReactanceArcs(const Layout &g, QVector<Arc> &arcs)
{
    const double s = g.s;
    const int R = g.R;
    for (int i = 0; i <= 5; ++i) {
        const double a = M_PI / 2.0 - i * M_PI / 6.0;
        const double sa = qFastSin(a);
        const double ca = qFastCos(a);
        double rho = ((sa + 1.0 / s) * (sa + 1.0 / s) / (2.0 * ca) + ca / 2.0) * R;
        if (i == 4) {
            if (s < 0.3)
                continue;
            if (s > 2.0)
                rho = (7.0 / ((s - 2.92) * (s - 2.92) + 7.0) + 3.0) * (R * 0.1111111);
        } else if (i == 5) {
            if (s < 0.6)
                continue;
            if (s > 1.45)
                rho = (0.228866 / ((s - 1.45) * (s - 1.45) + 2.0) + 0.1666666) * R;
        }
        addClipped(g, arcs, g.xo, g.cy - rho, rho);
        addClipped(g, arcs, g.xo, g.cy + rho, rho);
    }
}

QSGNode *SmithGrid::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data)
{
    Q_UNUSED(data);
    bool rebuild = false;
    QSGNode *root = paintRoot(oldNode, 4, &rebuild);
    if (!rebuild)
        return root;

    const QSize size = boundingRect().toRect().size();
    const int w = size.width();
    const int h = size.height();
    const int cx = w / 2;
    const int cy = h / 2;
    const int R = std::min(w, h) / 2;
    const double s = std::max(scale(), 0.001);
    const double K = flip() ? -1.0 : 1.0;
    const double Ru = R / s;
    const double xo = cx + K * Ru;
    const Circle clip{cx, cy, R};
    const Layout layout{w, h, cx, cy, R, s, K, Ru, xo, clip};

    QVector<Arc> arcs;
    addResistanceCircles(layout, arcs);
    addReactanceArcs(layout, arcs);

    // The circle beyond the open point, kept even when nothing of it shows.
    if (s >= 1.0) {
        const double x = cx + 2.0 * K * Ru;
        if (fitsInt(x) && fitsInt(Ru))
            arcs.append(circleIntersectionArc(Circle{rnd(x), cy, rnd(Ru)}, clip));
    }

    QVector<Arc> outerCircles = {Arc{double(cx), double(cy), double(R), 0.0, TwoPi}};
    if (s >= 1.0)
        outerCircles.append(Arc{double(cx), double(cy), Ru, 0.0, TwoPi});

    QVector<QLine> openPointLines;
    if (fitsInt(xo))
        openPointLines.append(clippedLine(QLine(rnd(xo), cy - R, rnd(xo), cy + R), clip));
    const QVector<QLine> realAxis = {clippedLine(QLine(cx - R, cy, cx + R, cy), clip)};

    QSGNode *arcGroup = root->firstChild();
    QSGNode *openGroup = arcGroup->nextSibling();
    QSGNode *outerGroup = openGroup->nextSibling();
    QSGNode *axisGroup = outerGroup->nextSibling();
    fillGroup(arcGroup, arcs, innerGridLinesColor());
    fillGroup(openGroup, openPointLines, innerGridLinesColor());
    fillGroup(outerGroup, outerCircles, outerGridLinesColor());
    fillGroup(axisGroup, realAxis, outerGridLinesColor());
    return root;
}

} // namespace Frontend
} // namespace Korvel

#include "frontend/gridpolar.h"

#include "frontend/scenegraphnodes.h"

#include <QSGNode>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

constexpr double TwoPi = 2.0 * M_PI;

Arc fullCircle(double cx, double cy, double radius)
{
    return {cx, cy, radius, 0.0, TwoPi};
}

} // namespace

PolarGrid_::PolarGrid_(QQuickItem *parent) : AbstractGrid(parent) {}

void PolarGrid_::setScale(double scale)
{
    if (qFuzzyCompare(m_scale, scale))
        return;
    m_scale = scale;
    markForRebuild();
    emit scaleChanged(scale);
}

QSGNode *PolarGrid_::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data)
{
    Q_UNUSED(data);
    bool rebuild = false;
    QSGNode *root = paintRoot(oldNode, 4, &rebuild);
    if (!rebuild)
        return root;
    const QRectF rect = boundingRect();

    const double w = rect.width();
    const double h = rect.height();
    const double cx = w / 2.0;
    const double cy = h / 2.0;
    const float R = float(std::min(w, h) / 2.0);
    const double s = std::max(scale(), 0.001);

    QVector<Arc> outerCircles;
    if (R > rnd(R / s))
        outerCircles.append(fullCircle(cx, cy, rnd(R / s)));
    outerCircles.append(fullCircle(cx, cy, R));

    const QVector<QLine> axes = {
        QLine(int(cx), int(cy - R), int(cx), int(cy + R)),
        QLine(int(cx - R), int(cy), int(cx + R), int(cy)),
    };

    QVector<QLine> radials;
    const int linesPerRing[] = {4, 8, 16};
    for (int i = 1; i <= 3; ++i) {
        const int t = linesPerRing[i - 1];
        const double from = std::floor(i * R / 4.0);
        for (int k = 0; k < t; ++k) {
            const double angle = (k + 0.5) * TwoPi / t;
            const double c = qFastCos(angle);
            const double sn = qFastSin(angle);
            radials.append(QLine(rnd(cx + from * c), rnd(cy + from * sn), rnd(cx + R * c), rnd(cy + R * sn)));
        }
    }

    QVector<Arc> innerCircles;
    for (int j = 0; j <= 3; ++j)
        innerCircles.append(fullCircle(cx, cy, j * R / 4.0));

    QSGNode *radialGroup = root->firstChild();
    QSGNode *innerGroup = radialGroup->nextSibling();
    QSGNode *axesGroup = innerGroup->nextSibling();
    QSGNode *outerGroup = axesGroup->nextSibling();
    fillGroup(radialGroup, radials, innerGridLinesColor());
    fillGroup(innerGroup, innerCircles, innerGridLinesColor());
    fillGroup(axesGroup, axes, outerGridLinesColor());
    fillGroup(outerGroup, outerCircles, outerGridLinesColor());
    return root;
}

} // namespace Frontend
} // namespace Korvel

#include "frontend/gridxy.h"

#include <QSGNode>

#include <algorithm>
#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

// Largest magnitude of a line index counted as a 64-bit integer.
constexpr double MaxLineIndex = 9.2e18;

double floorLog10(double v)
{
    return std::floor(v <= 1e-300 ? -300.0 : std::log10(v));
}

// step rounded to 4 significant digits; 0 for steps of no size.
double roundTo4Digits(double step)
{
    if (std::abs(step) <= 1e-12)
        return 0.0;
    const double q = std::pow(10.0, floorLog10(std::abs(step)) - 3.0);
    return std::floor(step / q + 0.5) * q;
}

double niceLinearStep(double span)
{
    if (std::abs(span) <= 1e-12)
        return span;
    const double m = std::pow(10.0, floorLog10(span));
    const double f = span / m;
    if (f <= 1.0)
        return m / 10.0;
    if (f <= 1.25)
        return m * 0.125;
    if (f <= 2.0)
        return m / 5.0;
    if (f <= 2.5)
        return m * 0.25;
    if (f <= 3.0)
        return m / 3.3333333333333335;
    if (f <= 4.0)
        return m / 2.5;
    if (f <= 5.0)
        return m * 0.5;
    if (f <= 6.0)
        return m / 1.6666666666666667;
    if (f <= 7.5)
        return m / 1.3333333333333333;
    return m;
}

} // namespace

XYGrid::XYGrid(QQuickItem *parent) : AbstractGrid(parent) {}

void XYGrid::setXLayout(GridLayoutMode xLayout)
{
    if (m_xLayout == xLayout)
        return;
    m_xLayout = xLayout;
    markForRebuild();
    relayout();
    emit xLayoutChanged(xLayout);
    refreshXLabels();
}

void XYGrid::setXRange(const QPointF &xRange)
{
    if (m_xRange == xRange)
        return;
    m_xRange = xRange;
    markForRebuild();
    relayout();
    emit xRangeChanged(xRange);
    refreshXLabels();
}

void XYGrid::setYCount(int yCount)
{
    if (m_yCount == yCount)
        return;
    m_yCount = yCount;
    markForRebuild();
    relayout();
    emit yCountChanged(yCount);
}

void XYGrid::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    AbstractGrid::geometryChanged(newGeometry, oldGeometry);
    relayout();
}

QVector<XYGrid::VerticalLine> XYGrid::verticalLines(int width) const
{
    QVector<VerticalLine> lines;
    const double xmin = m_xRange.x();
    const double xmax = m_xRange.y();
    const double span = xmax - xmin;
    const double w = width;

    switch (m_xLayout) {
    case GridLayoutMode::EquidistantGrid:
        if (xCount < 2)
            break;
        for (int i = 1; i <= xCount - 1; ++i)
            lines.append({i * (w - 1.0) / xCount, xmin + i * span / xCount});
        break;

    case GridLayoutMode::CenteredLinGrid: {
        const double centre = xmin + span / 2.0;
        const double step = roundTo4Digits(span / xCount);
        const auto pixel = [&](double value) { return (value - xmin) * w / span; };
        lines.append({pixel(centre), centre});
        for (int i = 1; i <= xCount / 2 - 1; ++i)
            lines.append({pixel(centre - i * step), centre - i * step});
        for (int j = 1; j <= xCount / 2 - 1; ++j)
            lines.append({pixel(centre + j * step), centre + j * step});
        break;
    }

    case GridLayoutMode::NiceLabelsLinGrid: {
        // A zero, reversed or undefined span has no lines.
        if (!(span > 0.0) || !std::isfinite(span) || !std::isfinite(xmin))
            break;
        const double step = niceLinearStep(span);
        const double k0 = std::ceil(xmin / step);
        const double k1 = std::ceil(xmax / step);
        if (!(std::abs(k0) < MaxLineIndex) || !(std::abs(k1) < MaxLineIndex))
            break;
        for (qint64 k = qint64(k0); k < qint64(k1); ++k) {
            const double value = step * double(k);
            lines.append({(value - xmin) * w / span, value});
        }
        break;
    }

    case GridLayoutMode::LogGrid: {
        const double a = std::pow(10.0, xmin);
        const double b = std::pow(10.0, xmax);
        const double g = w / (xmax - xmin);
        const double t = std::pow(10.0, std::floor((b <= 1e-300 ? -300.0 : std::log10(b)) - 1e-6));
        double u = std::floor(b / t) * t;
        while (u > a) {
            lines.append({(std::log10(u) - xmin) * g, u});
            const double next = u - std::pow(10.0, std::floor(std::log10(u) - 1e-6));
            // Below the smallest double the step vanishes; stop there.
            if (!(next < u))
                break;
            u = next;
        }
        break;
    }
    }
    return lines;
}

void XYGrid::relayout()
{
    const QRect rect = boundingRect().toRect();
    const int w = rect.width();
    const int h = rect.height();

    m_innerLines.clear();
    m_xValues.clear();
    for (const VerticalLine &line : verticalLines(w)) {
        // A degenerate range gives no pixel for the line; leave it out.
        if (!fitsInt(line.pixel))
            continue;
        const int x = rnd(line.pixel);
        m_innerLines.append(QLine(x, 0, x, h));
        m_xValues.append(line.value);
    }
    for (int i = 1; i <= m_yCount - 1; ++i) {
        const int y = int(std::floor((h - 1.0) * i / m_yCount + 0.5));
        m_innerLines.append(QLine(0, y, w, y));
    }

    m_outerLines = {QLine(0, 0, 0, h), QLine(0, h, w, h), QLine(w, 0, w, h), QLine(w, 0, 0, 0)};
}

void XYGrid::refreshXLabels()
{
    m_xLabels.clear();
    QVector<double> values = m_xValues;
    std::sort(values.begin(), values.end());
    for (double value : values)
        m_xLabels.append(QVariant(m_xLayout == GridLayoutMode::LogGrid ? std::log10(value) : value));
    emit xLabelsChanged();
}

QSGNode *XYGrid::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data)
{
    Q_UNUSED(data);
    bool rebuild = false;
    QSGNode *root = paintRoot(oldNode, 2, &rebuild);
    if (!rebuild)
        return root;

    QSGNode *innerGroup = root->firstChild();
    QSGNode *borderGroup = innerGroup->nextSibling();
    fillGroup(borderGroup, m_outerLines, outerGridLinesColor());
    fillGroup(innerGroup, m_innerLines, innerGridLinesColor());
    return root;
}

} // namespace Frontend
} // namespace Korvel

#include "frontend/trace.h"

#include "frontend/traceresampler.h"

#include <QtGlobal>

#include <cmath>

namespace Korvel {
namespace Frontend {

AbstractTrace::AbstractTrace(QObject *parent)
    : QObject(parent),
      m_domain(new TraceDomain(parent)),
      m_ownsDomain(parent == nullptr)
{}

AbstractTrace::~AbstractTrace()
{
    // A parentless domain would otherwise outlive its trace for good; one
    // that has been given a parent since goes with that parent.
    if (m_ownsDomain && m_domain && !m_domain->parent())
        delete m_domain;
}

void AbstractTrace::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    emit nameChanged();
}

void AbstractTrace::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    emit visibleChanged();
}

void AbstractTrace::setZ(double z)
{
    // Exact comparison on purpose; NaN always counts as a change.
    if (m_z == z)
        return;
    m_z = z;
    emit zChanged(m_z);
}

} // namespace Frontend
} // namespace Korvel

using Korvel::Frontend::TracePoint;

Trace::Trace(QObject *parent) : AbstractTrace(parent) {}

void Trace::setColor(const QColor &color)
{
    if (m_data.color == color)
        return;
    m_data.color = color;
    emit colorChanged(color);
}

void Trace::setLineWidth(float lineWidth)
{
    if (qFuzzyCompare(m_data.lineWidth, lineWidth))
        return;
    m_data.lineWidth = lineWidth;
    emit lineWidthChaned(lineWidth);
}

void Trace::replace(const QVector<QPointF> &data)
{
    if (data.isEmpty()) {
        // Nothing to show: back to the state of a new trace, drawing nothing.
        m_data.points.clear();
        m_data.uploadRange.init(0);
        m_data.dataRange.init(0);
        return;
    }
    m_data.points.assign(PointCount, TracePoint{});
    m_data.uploadRange.init(PointCount);
    m_data.dataRange.init(PointCount);

    static_assert(sizeof(QPointF) == 2 * sizeof(double), "QPointF holds two doubles");
    static_assert(sizeof(TracePoint) == 2 * sizeof(float), "TracePoint holds two floats");
    const double *source = reinterpret_cast<const double *>(data.constData());
    float *destination = reinterpret_cast<float *>(m_data.points.data());
    const int n = data.size();
    Korvel::Frontend::resampleMinMaxPairs(source, 2, n, destination, 2, PointCount);
    Korvel::Frontend::resampleMinMaxPairs(source + 1, 2, n, destination + 1, 2, PointCount);

    m_data.uploadRange.add(0, PointCount);
    m_data.dataRange.add(0, PointCount);
}

bool Trace::replaceOnPtrData(QVector<QPointF> *data)
{
    if (!data || data->isEmpty())
        return false;
    replace(*data);
    return true;
}

void Trace::update()
{
    m_data.visibleSnapshot = isVisible();

    const Korvel::Frontend::TraceDomain *d = domain();
    QMatrix4x4 viewport;
    viewport.viewport(float(d->xMin()), float(d->yMin()), float(d->xSpan()), float(d->ySpan()), 0.0f, 1.0f);
    m_data.matrices.assign(1, viewport.inverted());
    m_data.matricesChanged = true;

    const double onePixel = d->ySpan() / d->size().height();
    m_data.minY = float(d->yMin() + onePixel);
    m_data.maxY = float(d->yMax() - onePixel);
}

double Trace::domainY(double x) const
{
    const std::vector<TracePoint> &p = m_data.points;
    const int count = int(p.size());
    if (count == 0)
        return 0.0;
    if (std::isnan(x))
        return x;

    const double lo = p.front().x;
    const double hi = p.back().x;
    int guess = 0;
    if (hi > lo) {
        const double g = std::floor(count * (x - lo) / (hi - lo));
        guess = g <= 0.0 ? 0 : (g >= count - 1 ? count - 1 : int(g));
    }
    if (x == double(p[guess].x))
        return p[guess].y;
    if (x > double(p.back().x))
        return p.back().y;
    if (x < double(p.front().x))
        return p.front().y;

    // Walk from the guess to the neighbours (i - 1, i) that enclose x.
    int i = guess;
    if (x < double(p[i].x)) {
        while (i > 1 && double(p[i - 1].x) > x)
            --i;
    } else {
        while (i < count - 1 && double(p[i].x) < x)
            ++i;
    }
    if (i == 0)
        return p[0].y;
    const double x1 = p[i - 1].x, y1 = p[i - 1].y;
    const double x2 = p[i].x, y2 = p[i].y;
    if (x == x1)
        return y1;
    if (x == x2 || !(x2 > x1))
        return y2;
    return y1 + (x - x1) / (x2 - x1) * (y2 - y1);
}

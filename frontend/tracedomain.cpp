#include "frontend/tracedomain.h"

#include <QtGlobal>

#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

bool sameRange(const QPointF &a, const QPointF &b)
{
    return qFuzzyCompare(a.x(), b.x()) && qFuzzyCompare(a.y(), b.y());
}

} // namespace

TraceDomain::TraceDomain(QObject *parent) : QObject(parent) {}

void TraceDomain::setIsLogX(bool isLogX)
{
    if (m_isLogX == isLogX)
        return;
    m_isLogX = isLogX;
    emit isLogXChanged(m_isLogX);
}

void TraceDomain::setXRange(const QPointF &range)
{
    if (sameRange(m_xRange, range))
        return;
    m_xRange = range;
    emit xRangeChanged();
}

void TraceDomain::setYRange(const QPointF &range)
{
    if (sameRange(m_yRange, range))
        return;
    m_yRange = range;
    emit yRangeChanged();
}

void TraceDomain::setSize(const QSizeF &size)
{
    if (qFuzzyCompare(m_size.width(), size.width()) && qFuzzyCompare(m_size.height(), size.height()))
        return;
    m_size = size;
    emit sizeChanged(m_size);
}

bool TraceDomain::zoomToRect(const QRectF &rect)
{
    if (m_format != TraceFormat::XYFormat)
        return false;
    if (!m_isZoomed) {
        m_savedXRange = m_xRange;
        m_savedYRange = m_yRange;
    }
    // Without a plot size there is no pixel scale to zoom by.
    if (!(m_size.width() > 0.0) || !(m_size.height() > 0.0))
        return false;
    const double xPerPixel = xSpan() / m_size.width();
    if (!(std::fabs(xPerPixel) >= 1e-14))
        return false;
    const double yPerPixel = ySpan() / m_size.height();
    if (!(std::fabs(yPerPixel) >= 1e-14))
        return false;

    const double x0 = xMin();
    const double y1 = yMax();
    setXRange(QPointF(x0 + rect.left() * xPerPixel, x0 + rect.right() * xPerPixel));
    setYRange(QPointF(y1 - rect.bottom() * yPerPixel, y1 - rect.top() * yPerPixel));
    if (!m_isZoomed) {
        m_isZoomed = true;
        emit zoomedChanged(true);
    }
    return true;
}

void TraceDomain::resetZoom()
{
    if (m_format != TraceFormat::XYFormat || !m_isZoomed)
        return;
    m_isZoomed = false;
    emit zoomedChanged(false);
    setXRange(m_savedXRange);
    setYRange(m_savedYRange);
}

void TraceDomain::shiftYRange(double val)
{
    m_yRange = QPointF(m_yRange.x() + val, m_yRange.y() + val);
    emit yRangeChanged();
}

QPointF TraceDomain::domainPoint(const QPointF &geometry) const
{
    return QPointF(geometryToDomainX(geometry.x()), geometryToDomainY(geometry.y()));
}

QPointF TraceDomain::geometryPoint(const QPointF &domain) const
{
    return QPointF(domainToGeometryX(domain.x()), domainToGeometryY(domain.y()));
}

double TraceDomain::domainToGeometryX(double x) const
{
    return m_size.width() / xSpan() * (x - xMin());
}

double TraceDomain::domainToGeometryY(double y) const
{
    return m_size.height() / ySpan() * (y - yMin());
}

double TraceDomain::domainToGeometryArg(double arg) const
{
    return m_size.width() / (m_argRange.y() - m_argRange.x()) * (arg - m_argRange.x());
}

double TraceDomain::geometryToDomainX(double px) const
{
    return px / (m_size.width() / xSpan()) + xMin();
}

double TraceDomain::geometryToDomainY(double py) const
{
    return py / (m_size.height() / ySpan()) + yMin();
}

double TraceDomain::geometryToDomainArg(double px) const
{
    return px / (m_size.width() / (m_argRange.y() - m_argRange.x())) + m_argRange.x();
}

} // namespace Frontend
} // namespace Korvel

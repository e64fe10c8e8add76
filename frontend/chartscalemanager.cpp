#include "frontend/chartscalemanager.h"

#include <QtGlobal>

#include <cmath>

namespace Korvel {
namespace Frontend {

namespace {

// Stores v unless the optional already holds a fuzzy-equal value; true on change.
bool assign(std::optional<double> &slot, double v)
{
    if (slot && qFuzzyCompare(*slot, v))
        return false;
    slot = v;
    return true;
}

} // namespace

ChartScaleManager::ChartScaleManager(QObject *parent) : QObject(parent) {}

QPointF ChartScaleManager::minMaxX() const
{
    return QPointF(m_minX.value_or(0.0), m_maxX.value_or(1.0));
}

QPointF ChartScaleManager::minMaxY() const
{
    return QPointF(m_minY.value_or(0.0), m_maxY.value_or(1.0));
}

void ChartScaleManager::addData(const QString &key, const QVector<QPointF> &points)
{
    m_series.insert(key, points);
    acceptRanges();
}

bool ChartScaleManager::addDataPtr(const QString &key, QVector<QPointF> *ptrVector)
{
    if (!ptrVector || ptrVector->isEmpty())
        return false;
    m_series.insert(key, *ptrVector);
    acceptRanges();
    return true;
}

void ChartScaleManager::appendData(const QString &key, QPointF point)
{
    m_series[key].append(point);
    acceptRanges();
}

void ChartScaleManager::removeData(const QString &key)
{
    m_series.remove(key);
    acceptRanges();
}

void ChartScaleManager::clear()
{
    m_minX.reset();
    m_maxX.reset();
    m_minY.reset();
    m_maxY.reset();
    m_series.clear();
}

void ChartScaleManager::setMinX(double v)
{
    if (assign(m_minX, v)) {
        emit minXChanged();
        emit minMaxXChanged();
    }
}

double ChartScaleManager::getMinX() const
{
    return m_minX.value_or(0.0);
}

void ChartScaleManager::setMaxX(double v)
{
    if (assign(m_maxX, v)) {
        emit maxXChanged();
        emit minMaxXChanged();
    }
}

double ChartScaleManager::getMaxX() const
{
    return m_maxX.value_or(0.0);
}

void ChartScaleManager::setMinY(double v)
{
    if (assign(m_minY, v)) {
        emit minYChanged();
        emit minMaxYChanged();
    }
}

double ChartScaleManager::getMinY() const
{
    return m_minY.value_or(0.0);
}

void ChartScaleManager::setMaxY(double v)
{
    if (assign(m_maxY, v)) {
        emit maxYChanged();
        emit minMaxYChanged();
    }
}

double ChartScaleManager::getMaxY() const
{
    return m_maxY.value_or(0.0);
}

void ChartScaleManager::setMinMaxX(QPointF p)
{
    const bool minChanged = assign(m_minX, p.x());
    const bool maxChanged = assign(m_maxX, p.y());
    if (minChanged || maxChanged) {
        emit minXChanged();
        emit maxXChanged();
        emit minMaxXChanged();
    }
}

void ChartScaleManager::setMinMaxY(QPointF p)
{
    const bool minChanged = assign(m_minY, p.x());
    const bool maxChanged = assign(m_maxY, p.y());
    if (minChanged || maxChanged) {
        emit minYChanged();
        emit maxYChanged();
        emit minMaxYChanged();
    }
}

void ChartScaleManager::setMaximumYLimit(double v)
{
    if (qFuzzyCompare(m_maximumYLimit, v))
        return;
    m_maximumYLimit = v;
    emit maximumYLimitChanged(v);
}

void ChartScaleManager::acceptRanges()
{
    m_minX.reset();
    m_maxX.reset();
    m_minY.reset();
    m_maxY.reset();
    if (m_series.isEmpty())
        return;

    const bool capped = !qFuzzyCompare(m_maximumYLimit, -1.0);
    for (auto it = m_series.cbegin(); it != m_series.cend(); ++it) {
        // Points without a finite position (gaps in measured data) have no
        // place on the axes.
        std::optional<double> loX, hiX, loY, hiY;
        for (const QPointF &p : it.value()) {
            if (std::isfinite(p.x())) {
                if (!loX || p.x() < *loX)
                    loX = p.x();
                if (!hiX || p.x() > *hiX)
                    hiX = p.x();
            }
            if (std::isfinite(p.y())) {
                if (!loY || p.y() < *loY)
                    loY = p.y();
                if (!hiY || p.y() > *hiY)
                    hiY = p.y();
            }
        }
        if (loX && (!m_minX || *loX < *m_minX))
            m_minX = loX;
        if (hiX && (!m_maxX || *hiX > *m_maxX))
            m_maxX = hiX;
        if (loY && (!m_minY || *loY < *m_minY))
            m_minY = loY;
        if (hiY && (!m_maxY || *m_maxY < *hiY)) {
            double candidate = *hiY;
            if (capped && candidate > m_maximumYLimit)
                candidate = m_maximumYLimit;
            m_maxY = candidate;
        }
    }

    emit minXChanged();
    emit maxXChanged();
    emit minMaxXChanged();
    emit minYChanged();
    emit maxYChanged();
    emit minMaxYChanged();
}

} // namespace Frontend
} // namespace Korvel

#include "app/qmlxyserieshelper.h"

#include <QtCharts/QXYSeries>

#include <utility>

QMLXYSeriesHelper::QMLXYSeriesHelper(QObject *parent) : QObject(parent) {}

void QMLXYSeriesHelper::append(QtCharts::QXYSeries *series, const QVector<QPointF> &points)
{
    series->append(points.toList());
}

void QMLXYSeriesHelper::append(QtCharts::QXYSeries *series, const QList<QPointF> &points)
{
    series->append(points);
}

void QMLXYSeriesHelper::replace(QtCharts::QXYSeries *series, QVector<QPointF> points)
{
    series->replace(std::move(points));
}

void QMLXYSeriesHelper::replace(QtCharts::QXYSeries *series, QList<QPointF> points)
{
    series->replace(std::move(points));
}

QList<QPointF> QMLXYSeriesHelper::points(const QtCharts::QXYSeries *series)
{
    return series->points();
}

QVector<QPointF> QMLXYSeriesHelper::pointsVector(const QtCharts::QXYSeries *series)
{
    return series->pointsVector();
}

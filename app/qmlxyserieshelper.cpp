#include "app/qmlxyserieshelper.h"

#include <QtCharts/QXYSeries>

QMLXYSeriesHelper::QMLXYSeriesHelper(QObject *parent) : QObject(parent) {}

void QMLXYSeriesHelper::append(QtCharts::QXYSeries *series, QVector<QPointF> points)
{
    series->append(points.toList());
}

void QMLXYSeriesHelper::append(QtCharts::QXYSeries *series, QList<QPointF> points)
{
    series->append(points);
}

void QMLXYSeriesHelper::replace(QtCharts::QXYSeries *series, QVector<QPointF> points)
{
    series->replace(points);
}

void QMLXYSeriesHelper::replace(QtCharts::QXYSeries *series, QList<QPointF> points)
{
    series->replace(points);
}

QList<QPointF> QMLXYSeriesHelper::points(const QtCharts::QXYSeries *series)
{
    return series->points();
}

QVector<QPointF> QMLXYSeriesHelper::pointsVector(const QtCharts::QXYSeries *series)
{
    return series->pointsVector();
}

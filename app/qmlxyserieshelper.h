#pragma once
// The QML singleton "QMLXYSeriesHelper": bulk access to the points of a
// chart series, which QML cannot pass as a whole by itself. The series must
// not be null.

#include <QList>
#include <QObject>
#include <QPointF>
#include <QVector>

namespace QtCharts {
class QXYSeries;
}

class QMLXYSeriesHelper : public QObject
{
    Q_OBJECT
public:
    explicit QMLXYSeriesHelper(QObject *parent = nullptr);

public slots:
    void append(QtCharts::QXYSeries *series, const QVector<QPointF> &points);
    void append(QtCharts::QXYSeries *series, const QList<QPointF> &points);
    void replace(QtCharts::QXYSeries *series, QVector<QPointF> points);
    void replace(QtCharts::QXYSeries *series, QList<QPointF> points);
    QList<QPointF> points(const QtCharts::QXYSeries *series);
    QVector<QPointF> pointsVector(const QtCharts::QXYSeries *series);
};

#pragma once
// Loose tick labels for a value range: nice numbers (1, 2 or 5 times a power
// of ten apart) that cover the whole range. Stateless; QML uses one
// instance as a singleton.

#include <QObject>
#include <QPointF>
#include <QVariantList>

namespace Korvel {
namespace Frontend {

class NiceLabels : public QObject
{
    Q_OBJECT

public:
    explicit NiceLabels(QObject *parent = nullptr);

public slots:
    // Labels from the highest down to the lowest; empty when max - min is
    // not positive or tickCount is below 2.
    QVariantList looseLabels(double min, double max, int tickCount);
    QVariantList looseLabels(double min, double max);
    // (lowest label, highest label) of looseLabels(point.x, point.y, 10);
    // (0, 0) when there are none.
    QPointF looseLabelsMinMax(QPointF point);
};

} // namespace Frontend
} // namespace Korvel

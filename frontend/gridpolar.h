#pragma once
// The polar chart background: concentric circles, radial lines and the two
// axes, with an extra outer circle of radius R / scale when zoomed out.

#include "frontend/gridabstract.h"

namespace Korvel {
namespace Frontend {

class PolarGrid_ : public AbstractGrid
{
    Q_OBJECT
    Q_PROPERTY(double scale READ scale WRITE setScale NOTIFY scaleChanged)

public:
    explicit PolarGrid_(QQuickItem *parent = nullptr);

    double scale() const { return m_scale; }
    void setScale(double scale);

signals:
    void scaleChanged(double scale);

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    double m_scale = 1.0;
};

} // namespace Frontend
} // namespace Korvel

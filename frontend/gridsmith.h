#pragma once
// The Smith chart background: resistance circles and reactance arcs clipped
// to the outer circle, the open-point line and the real axis; `flip`
// mirrors it into the admittance chart.

#include "frontend/gridabstract.h"

namespace Korvel {
namespace Frontend {

class SmithGrid : public AbstractGrid
{
    Q_OBJECT
    Q_PROPERTY(double scale READ scale WRITE setScale NOTIFY scaleChanged)
    Q_PROPERTY(bool flip READ flip WRITE setFlip NOTIFY flipChanged)

public:
    explicit SmithGrid(QQuickItem *parent = nullptr);

    double scale() const { return m_scale; }
    void setScale(double scale);
    bool flip() const { return m_flip; }
    void setFlip(bool flip);

signals:
    void scaleChanged(double scale);
    void flipChanged(bool flip);

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    struct Layout;
    static void addClipped(const Layout &g, QVector<Arc> &arcs, double x, double y, double radius);
    static void addResistanceCircles(const Layout &g, QVector<Arc> &arcs);
    static void addReactanceArcs(const Layout &g, QVector<Arc> &arcs);

    double m_scale = 1.0;
    bool m_flip = false;
};

} // namespace Frontend
} // namespace Korvel

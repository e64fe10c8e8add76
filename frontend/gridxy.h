#pragma once
// The Cartesian chart background: a border, vertical lines placed by one of
// four layouts and evenly spaced horizontal lines. It publishes the x values
// of its vertical lines for the x-axis labels.

#include "frontend/gridabstract.h"

#include <QLine>
#include <QPointF>
#include <QVariantList>
#include <QVector>

namespace Korvel {
namespace Frontend {

class XYGrid : public AbstractGrid
{
    Q_OBJECT
    Q_PROPERTY(GridLayoutMode xLayout READ xLayout WRITE setXLayout NOTIFY xLayoutChanged)
    Q_PROPERTY(QPointF xRange READ xRange WRITE setXRange NOTIFY xRangeChanged)
    Q_PROPERTY(int yCount READ yCount WRITE setYCount NOTIFY yCountChanged)
    Q_PROPERTY(QVariantList xLabels READ xLabels NOTIFY xLabelsChanged)

public:
    enum class GridLayoutMode {
        EquidistantGrid = 0,
        CenteredLinGrid = 1,
        NiceLabelsLinGrid = 2,
        LogGrid = 3,
    };
    Q_ENUM(GridLayoutMode)

    // Number of x divisions; fixed.
    static constexpr int xCount = 10;

    explicit XYGrid(QQuickItem *parent = nullptr);

    GridLayoutMode xLayout() const { return m_xLayout; }
    void setXLayout(GridLayoutMode xLayout);
    QPointF xRange() const { return m_xRange; }
    void setXRange(const QPointF &xRange);
    int yCount() const { return m_yCount; }
    void setYCount(int yCount);
    QVariantList xLabels() const { return m_xLabels; }

    // The lines of the last layout, in item pixels: vertical lines first,
    // then horizontal ones; and the four border lines.
    const QVector<QLine> &innerLines() const { return m_innerLines; }
    const QVector<QLine> &outerLines() const { return m_outerLines; }
    // x value of each vertical line, in the order the layout found them.
    const QVector<double> &xValues() const { return m_xValues; }

signals:
    void xLayoutChanged(Korvel::Frontend::XYGrid::GridLayoutMode xLayout);
    void xRangeChanged(QPointF xRange);
    void yCountChanged(int yCount);
    void xLabelsChanged();

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    // A vertical line: its pixel x (not yet rounded) and its x value.
    struct VerticalLine
    {
        double pixel;
        double value;
    };

    void relayout();
    void refreshXLabels();
    QVector<VerticalLine> verticalLines(int width) const;

    GridLayoutMode m_xLayout = GridLayoutMode::EquidistantGrid;
    QPointF m_xRange{0.0, 0.0};
    int m_yCount = 10;
    QVector<QLine> m_innerLines;
    QVector<QLine> m_outerLines;
    QVector<double> m_xValues;
    QVariantList m_xLabels;
};

} // namespace Frontend
} // namespace Korvel

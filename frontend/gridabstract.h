#pragma once
// Shared base of the chart backgrounds: line colours, line width and the
// flag that asks for the scene-graph nodes to be rebuilt at the next sync.

#include <QColor>
#include <QLine>
#include <QQuickItem>
#include <QSGNode>
#include <QVector>

namespace Korvel {
namespace Frontend {

struct Arc;

// QQuickItem already is a QQmlParserStatus; the grids keep its hooks.
class AbstractGrid : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QColor innerGridLinesColor READ innerGridLinesColor WRITE setInnerGridLinesColor NOTIFY
                   innerGridLinesColorChanged)
    Q_PROPERTY(QColor outerGridLinesColor READ outerGridLinesColor WRITE setOuterGridLinesColor NOTIFY
                   outerGridLinesColorChanged)
    Q_PROPERTY(double lineWidth READ lineWidth WRITE setLineWidth NOTIFY lineWidthChanged)

public:
    explicit AbstractGrid(QQuickItem *parent = nullptr);

    QColor innerGridLinesColor() const { return m_innerGridLinesColor; }
    void setInnerGridLinesColor(const QColor &color);
    QColor outerGridLinesColor() const { return m_outerGridLinesColor; }
    void setOuterGridLinesColor(const QColor &color);
    double lineWidth() const { return m_lineWidth; }
    void setLineWidth(double lineWidth);

    bool isDirty() const { return m_dirty; }

signals:
    void innerGridLinesColorChanged(QColor innerGridLinesColor);
    void outerGridLinesColorChanged(QColor outerGridLinesColor);
    void lineWidthChanged(double lineWidth);

protected:
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;

    // Sets the rebuild flag and schedules a frame.
    void markForRebuild();
    // Clears the rebuild flag; true when it was set.
    bool takeDirty();

    // A plain root node holding `groups` empty group nodes.
    static QSGNode *newGroupedRoot(int groups);

    // The start of updatePaintNode: the root to keep, a new one with `groups`
    // empty groups when there is none, or null for an item with no area (the
    // old root is then deleted). `rebuild` is true when the groups need
    // filling: the grid changed, or the root is new (the scene graph may have
    // dropped the previous one while nothing changed).
    QSGNode *paintRoot(QSGNode *oldNode, int groups, bool *rebuild);

    // Makes `group` hold one node per segment or arc, drawn at the grid's
    // line width and anti-aliasing in `color`.
    void fillGroup(QSGNode *group, const QVector<QLine> &lines, const QColor &color) const;
    void fillGroup(QSGNode *group, const QVector<Arc> &arcs, const QColor &color) const;

    // Rounds half away from zero.
    static int rnd(double v);
    // True for a finite value whose magnitude fits an int (one with a pixel).
    static bool fitsInt(double v);

private:
    QColor m_innerGridLinesColor = Qt::darkGray;
    QColor m_outerGridLinesColor = Qt::gray;
    double m_lineWidth = 1.0;
    bool m_dirty = true;
};

// Makes `group` hold exactly `count` children of type Node, removing from
// the front or appending, and returns them in child order.
template<typename Node>
QVector<Node *> resizeGroup(QSGNode *group, int count)
{
    if (count < 0)
        count = 0;
    while (group->childCount() > count) {
        QSGNode *first = group->firstChild();
        group->removeChildNode(first);
        delete first;
    }
    while (group->childCount() < count) {
        Node *node = new Node;
        node->setFlag(QSGNode::OwnedByParent, true);
        group->appendChildNode(node);
    }
    QVector<Node *> nodes;
    nodes.reserve(count);
    for (QSGNode *child = group->firstChild(); child; child = child->nextSibling())
        nodes.append(static_cast<Node *>(child));
    return nodes;
}

} // namespace Frontend
} // namespace Korvel

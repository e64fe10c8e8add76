#include "frontend/gridabstract.h"

#include "frontend/scenegraphnodes.h"

#include <QtGlobal>

#include <cmath>
#include <limits>

namespace Korvel {
namespace Frontend {

AbstractGrid::AbstractGrid(QQuickItem *parent) : QQuickItem(parent)
{
    setFlag(ItemHasContents, true);
    setAntialiasing(true);
    // The feathered strips are built per anti-aliasing mode.
    connect(this, &QQuickItem::antialiasingChanged, this, &AbstractGrid::markForRebuild);
}

void AbstractGrid::setInnerGridLinesColor(const QColor &color)
{
    if (m_innerGridLinesColor == color)
        return;
    m_innerGridLinesColor = color;
    markForRebuild();
    emit innerGridLinesColorChanged(color);
}

void AbstractGrid::setOuterGridLinesColor(const QColor &color)
{
    if (m_outerGridLinesColor == color)
        return;
    m_outerGridLinesColor = color;
    markForRebuild();
    emit outerGridLinesColorChanged(color);
}

void AbstractGrid::setLineWidth(double lineWidth)
{
    if (qFuzzyCompare(m_lineWidth, lineWidth))
        return;
    m_lineWidth = lineWidth;
    markForRebuild();
    emit lineWidthChanged(lineWidth);
}

void AbstractGrid::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    markForRebuild();
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
}

void AbstractGrid::markForRebuild()
{
    m_dirty = true;
    update();
}

bool AbstractGrid::takeDirty()
{
    const bool was = m_dirty;
    m_dirty = false;
    return was;
}

QSGNode *AbstractGrid::newGroupedRoot(int groups)
{
    QSGNode *root = new QSGNode;
    for (int i = 0; i < groups; ++i) {
        QSGNode *group = new QSGNode;
        group->setFlag(QSGNode::OwnedByParent, true);
        root->appendChildNode(group);
    }
    return root;
}

QSGNode *AbstractGrid::paintRoot(QSGNode *oldNode, int groups, bool *rebuild)
{
    *rebuild = false;
    if (boundingRect().isEmpty()) {
        delete oldNode;
        return nullptr;
    }
    QSGNode *root = oldNode;
    bool fresh = false;
    if (!root) {
        root = newGroupedRoot(groups);
        fresh = true;
    }
    *rebuild = takeDirty() || fresh;
    return root;
}

namespace {
template<typename Node, typename Shape>
void fill(QSGNode *group, const QVector<Shape> &shapes, float width, const QColor &color, bool antialiased)
{
    const QVector<Node *> nodes = resizeGroup<Node>(group, shapes.size());
    for (int i = 0; i < shapes.size(); ++i)
        nodes[i]->updateGeometry(shapes[i], width, color, antialiased);
}
} // namespace

void AbstractGrid::fillGroup(QSGNode *group, const QVector<QLine> &lines, const QColor &color) const
{
    fill<LineNode>(group, lines, float(lineWidth()), color, antialiasing());
}

void AbstractGrid::fillGroup(QSGNode *group, const QVector<Arc> &arcs, const QColor &color) const
{
    fill<ArcNode>(group, arcs, float(lineWidth()), color, antialiasing());
}

bool AbstractGrid::fitsInt(double v)
{
    return std::isfinite(v) && std::abs(v) < double(std::numeric_limits<int>::max());
}

int AbstractGrid::rnd(double v)
{
    // Values outside int (or not finite) have no pixel; callers check
    // them before rounding, this only keeps the conversion defined.
    if (!std::isfinite(v))
        return 0;
    const double r = std::round(v);
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(r);
}

} // namespace Frontend
} // namespace Korvel

#pragma once
// The chart's scene-graph node and the interface of the node that draws
// the traces and answers which trace lies under each queued pointer event.

#include <QMouseEvent>
#include <QPoint>
#include <QRectF>
#include <QSGRootNode>
#include <QSize>

#include <memory>
#include <vector>

class QQuickWindow;

namespace Korvel {
namespace Frontend {

class AbstractTrace;

// One answer of the picking pass.
struct MouseEventResponse
{
    enum class Kind {
        None = 0, // no answer yet (default)
        Pressed = 1,
        Released = 2,
        Clicked = 3,
        DoubleClicked = 4,
        HoverEnter = 5,
        HoverLeave = 6,
    };
    Kind kind = Kind::None;
    QPoint position; // item coordinates, y from the top edge
    AbstractTrace *trace = nullptr; // null: no trace concerned, skipped
};

using MouseEventResponses = std::vector<MouseEventResponse>;
using MouseEventList = std::vector<std::unique_ptr<QMouseEvent>>;
using TraceList = std::vector<AbstractTrace *>;

class AbstractRenderNode : public QSGRootNode
{
public:
    ~AbstractRenderNode() override = default;

    virtual void setSize(const QSize &size) = 0;
    virtual QSize size() const = 0;
    virtual void setRect(const QRectF &rect) = 0;
    virtual void syncTraces(bool listChanged, const TraceList &traces) = 0;
    virtual void setAntialiasing(bool antialiasing) = 0;
    // Takes ownership of the events; the list is left empty.
    virtual void pushMouseEvents(MouseEventList &events) = 0;
    virtual MouseEventResponses takeMouseEventResponses() = 0;
    virtual void render() = 0;
};

// Root of the chart item's subtree. Holds a render node only when the scene
// graph runs on OpenGL; otherwise it stays empty and nothing is drawn.
class ChartNode : public QSGRootNode
{
public:
    explicit ChartNode(QQuickWindow *window);

    QQuickWindow *window() const { return m_window; }
    AbstractRenderNode *renderNode() const { return m_renderNode; }

private:
    QQuickWindow *m_window = nullptr;
    AbstractRenderNode *m_renderNode = nullptr;
};

} // namespace Frontend
} // namespace Korvel

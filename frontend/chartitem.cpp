#include "frontend/chartitem.h"

#include "frontend/trace.h"
#include "frontend/tracedomain.h"

#include <QQuickWindow>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cmath>

namespace Korvel {
namespace Frontend {

Chart::Chart(QQuickItem *parent) : QQuickItem(parent), m_updateTimer(new QTimer(this))
{
    setFlag(ItemHasContents, true);
    setAntialiasing(true);
    setAcceptedMouseButtons(Qt::AllButtons);
    setAcceptHoverEvents(true);

    connect(this, &Chart::mouseEventResponsesReceived, this, &Chart::dispatchMouseEventResponses, Qt::QueuedConnection);
    connect(m_updateTimer, &QTimer::timeout, this, &Chart::updateTraces);
    m_updateTimer->start(UpdateIntervalMs);
}

Chart::~Chart() = default;

bool Chart::holdsTrace(const AbstractTrace *trace) const
{
    return std::find(m_traces.begin(), m_traces.end(), trace) != m_traces.end();
}

void Chart::addTrace(AbstractTrace *trace)
{
    if (!trace)
        return;
    trace->domain()->setSize(size());
    // A trace is held once: the refresh updates every listed trace on its
    // own pool thread, so a second entry would be updated by two threads at
    // once.
    if (holdsTrace(trace))
        return;
    m_traces.push_back(trace);
    connect(trace, &AbstractTrace::zChanged, this, &Chart::sortTracesByZ);
    // A trace deleted without being removed must not stay in the list.
    connect(trace, &QObject::destroyed, this, &Chart::traceDestroyed);
    sortTracesByZ();
    m_tracesChanged = true;
}

void Chart::removeTrace(AbstractTrace *trace)
{
    auto it = std::find(m_traces.begin(), m_traces.end(), trace);
    if (it == m_traces.end())
        return;
    m_traces.erase(it);
    m_tracesChanged = true;
    disconnect(trace, nullptr, this, nullptr);
}

void Chart::traceDestroyed(QObject *object)
{
    const auto end = std::remove_if(m_traces.begin(), m_traces.end(),
                                    [object](AbstractTrace *t) { return static_cast<QObject *>(t) == object; });
    if (end == m_traces.end())
        return;
    m_traces.erase(end, m_traces.end());
    m_tracesChanged = true;
    update();
}

void Chart::sortTracesByZ()
{
    std::sort(m_traces.begin(), m_traces.end(),
              [](const AbstractTrace *a, const AbstractTrace *b) { return a->z() < b->z(); });
    // The drawing order changed with it.
    m_tracesChanged = true;
}

void Chart::itemChange(ItemChange change, const ItemChangeData &value)
{
    if (change == ItemVisibleHasChanged) {
        if (isVisible() && !m_updateTimer->isActive()) {
            m_updateTimer->start(UpdateIntervalMs);
            updateTraces();
        } else if (!isVisible()) {
            m_updateTimer->stop();
        }
    }
    QQuickItem::itemChange(change, value);
}

void Chart::geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    for (AbstractTrace *trace : m_traces)
        trace->domain()->setSize(newGeometry.size());
    QQuickItem::geometryChanged(newGeometry, oldGeometry);
}

void Chart::updateTraces()
{
    if (!m_traces.empty()) {
        TraceList traces = m_traces;
        QtConcurrent::blockingMap(traces, [](AbstractTrace *trace) { trace->update(); });
    }
    update();
}

void Chart::queueMouseEvent(const QMouseEvent *event)
{
    queueMouseEvent(event->type(), event->localPos(), event->button(), event->buttons(), event->modifiers());
}

void Chart::queueMouseEvent(QEvent::Type type, const QPointF &position, Qt::MouseButton button,
                            Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    if (m_traces.empty())
        return;
    if (int(m_pendingMouseEvents.size()) >= MaxPendingMouseEvents)
        m_pendingMouseEvents.erase(m_pendingMouseEvents.begin());
    m_pendingMouseEvents.push_back(std::make_unique<QMouseEvent>(type, position, button, buttons, modifiers));
    update();
}

void Chart::mousePressEvent(QMouseEvent *event)
{
    if (m_rubberBand && m_rubberBand->isEnabled() && event->button() == Qt::LeftButton) {
        m_pressPoint = event->pos();
        m_rubberBand->setPosition(QPointF(m_pressPoint));
        m_rubberBand->setSize(QSizeF(0, 0));
        m_rubberBand->setVisible(true);
    }
    m_lastPosition = event->localPos();
    m_lastButton = event->button();
    m_lastButtons = event->buttons();
    queueMouseEvent(event);
    forceActiveFocus();
}

void Chart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_rubberBand && m_rubberBand->isVisible()) {
        const int x = int(std::lround(std::clamp(event->localPos().x(), 0.0, width())));
        const int y = int(std::lround(std::clamp(event->localPos().y(), 0.0, height())));
        const int left = std::min(x, m_pressPoint.x());
        const int top = std::min(y, m_pressPoint.y());
        m_rubberBand->setPosition(QPointF(left, top));
        m_rubberBand->setSize(QSizeF(std::abs(x - m_pressPoint.x()), std::abs(y - m_pressPoint.y())));
    }
    QQuickItem::mouseMoveEvent(event);
}

void Chart::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_rubberBand && m_rubberBand->isVisible() && event->button() == Qt::LeftButton) {
        const QRectF band(m_rubberBand->position(), QSizeF(m_rubberBand->width(), m_rubberBand->height()));
        const QRectF rect = band.intersected(QRectF(0, 0, width(), height()));
        m_rubberBand->setVisible(false);
        if (!rect.isEmpty() && rect.width() > 20 && rect.height() > 20)
            zoomIn(rect);
    }
    if (event->button() == Qt::RightButton && m_isZoomed)
        zoomReset();
    m_lastButtons = event->buttons();
    m_lastButton = Qt::NoButton;
    queueMouseEvent(event);
}

void Chart::mouseDoubleClickEvent(QMouseEvent *event)
{
    m_lastPosition = event->localPos();
    m_lastButton = event->button();
    m_lastButtons = event->buttons();
    queueMouseEvent(event);
}

void Chart::hoverMoveEvent(QHoverEvent *event)
{
    const QPointF previous = m_lastPosition;
    m_lastPosition = event->posF();
    if (m_traces.empty() || previous == m_lastPosition)
        return;
    queueMouseEvent(QEvent::MouseMove, m_lastPosition, m_lastButton, m_lastButtons, event->modifiers());
}

void Chart::zoomIn(const QRectF &rect)
{
    struct Before
    {
        TraceDomain *domain;
        bool zoomed;
        QPointF xRange;
        QPointF yRange;
    };
    std::vector<Before> before;
    before.reserve(m_traces.size());
    for (AbstractTrace *trace : m_traces) {
        TraceDomain *domain = trace->domain();
        before.push_back({domain, domain->isZoomed(), domain->xRange(), domain->yRange()});
        if (!domain->zoomToRect(rect)) {
            // Undo the traces that already took the rectangle, so that all
            // traces keep showing the same region as the chart's state says.
            before.pop_back();
            for (auto it = before.rbegin(); it != before.rend(); ++it) {
                if (!it->zoomed) {
                    it->domain->resetZoom();
                } else {
                    it->domain->setXRange(it->xRange);
                    it->domain->setYRange(it->yRange);
                }
            }
            return;
        }
    }
    updateTraces();
    emit finishedZoomInOperation();
    if (!m_isZoomed) {
        m_isZoomed = true;
        emit isZoomedChanged(true);
    }
}

void Chart::zoomReset()
{
    if (!m_isZoomed)
        return;
    for (AbstractTrace *trace : m_traces)
        trace->domain()->resetZoom();
    updateTraces();
    m_isZoomed = false;
    emit isZoomedChanged(false);
}

void Chart::setRubberBand(QQuickItem *rubberBand)
{
    if (m_rubberBand == rubberBand)
        return;
    if (!rubberBand)
        zoomReset();
    m_rubberBand = rubberBand;
    emit rubberBandChanged(rubberBand);
}

QSGNode *Chart::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    const QRectF bounds = boundingRect();
    if (bounds.isEmpty()) {
        delete oldNode;
        return nullptr;
    }
    auto *node = static_cast<ChartNode *>(oldNode);
    if (!node)
        node = new ChartNode(window());
    AbstractRenderNode *renderNode = node->renderNode();
    if (!renderNode) {
        // Nothing draws or picks on this graphics back end: nobody would
        // ever answer the queued events.
        m_pendingMouseEvents.clear();
        return node;
    }

    const QSize pixelSize = bounds.size().toSize().expandedTo(QSize(1, 1));
    if (pixelSize != renderNode->size())
        renderNode->setSize(pixelSize);
    renderNode->setRect(bounds);
    renderNode->syncTraces(m_tracesChanged, m_traces);
    renderNode->setAntialiasing(antialiasing());
    if (!m_pendingMouseEvents.empty())
        renderNode->pushMouseEvents(m_pendingMouseEvents);
    renderNode->render();
    m_tracesChanged = false;

    // Appended, not replaced: answers of an earlier sync may not have been
    // dispatched yet.
    MouseEventResponses answers = renderNode->takeMouseEventResponses();
    if (!answers.empty()) {
        m_responses.insert(m_responses.end(), answers.begin(), answers.end());
        emit mouseEventResponsesReceived();
    }
    return node;
}

void Chart::dispatchMouseEventResponses()
{
    MouseEventResponses responses;
    responses.swap(m_responses);
    QPointer<Chart> self(this);
    for (const MouseEventResponse &response : responses) {
        if (!self)
            return;
        // Skip answers for traces that were removed (or deleted) since.
        if (!response.trace || !holdsTrace(response.trace))
            continue;
        AbstractTrace *trace = response.trace;
        const QPointF point =
            trace->domain()->domainPoint(QPointF(response.position.x(), height() - response.position.y()));
        switch (response.kind) {
        case MouseEventResponse::Kind::Pressed:
            emit trace->pressed(point);
            break;
        case MouseEventResponse::Kind::Released:
            emit trace->released(point);
            break;
        case MouseEventResponse::Kind::Clicked:
            emit trace->clicked(point);
            break;
        case MouseEventResponse::Kind::DoubleClicked:
            emit trace->doubleClicked(point);
            break;
        case MouseEventResponse::Kind::HoverEnter:
            emit trace->hovered(point, true);
            break;
        case MouseEventResponse::Kind::HoverLeave:
            emit trace->hovered(point, false);
            break;
        default:
            break;
        }
    }
}

} // namespace Frontend
} // namespace Korvel

#pragma once
// The chart item: keeps the traces of one plot area, turns mouse input into
// rubber-band zooming and pick requests, refreshes the traces every 33 ms on
// the thread pool and hands everything to its render node at each
// scene-graph sync. It draws nothing itself on the GUI thread.

#include "frontend/chartrendernode.h"

#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QQuickItem>
#include <QRectF>

class QTimer;

namespace Korvel {
namespace Frontend {

class AbstractTrace;

class Chart : public QQuickItem
{
    Q_OBJECT
    Q_PROPERTY(QQuickItem *rubberBand READ rubberBand WRITE setRubberBand NOTIFY rubberBandChanged)
    Q_PROPERTY(bool isZoomed READ isZoomed NOTIFY isZoomedChanged)

public:
    // At most this many pointer events wait for the render node; older
    // ones are dropped when no frame comes to take them.
    static constexpr int MaxPendingMouseEvents = 1024;
    static constexpr int UpdateIntervalMs = 33;

    explicit Chart(QQuickItem *parent = nullptr);
    ~Chart() override;

    QQuickItem *rubberBand() const { return m_rubberBand; }
    void setRubberBand(QQuickItem *rubberBand);
    bool isZoomed() const { return m_isZoomed; }

    Q_INVOKABLE void addTrace(Korvel::Frontend::AbstractTrace *trace);
    Q_INVOKABLE void removeTrace(Korvel::Frontend::AbstractTrace *trace);
    // rect in item pixels (y down).
    Q_INVOKABLE void zoomIn(const QRectF &rect);
    Q_INVOKABLE void zoomReset();

signals:
    void mouseEventResponsesReceived();
    void rubberBandChanged(QQuickItem *rubberBand);
    void finishedZoomInOperation();
    void isZoomedChanged(bool isZoomed);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    void geometryChanged(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    // The refresh timer runs only while the chart is visible: a hidden chart
    // must not keep the GUI and render threads awake.
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *data) override;

private:
    void queueMouseEvent(const QMouseEvent *event);
    void queueMouseEvent(QEvent::Type type, const QPointF &position, Qt::MouseButton button, Qt::MouseButtons buttons,
                         Qt::KeyboardModifiers modifiers);
    void updateTraces();
    void sortTracesByZ();
    void dispatchMouseEventResponses();
    void traceDestroyed(QObject *object);
    bool holdsTrace(const AbstractTrace *trace) const;

    QPointF m_lastPosition;
    Qt::MouseButton m_lastButton = Qt::NoButton;
    Qt::MouseButtons m_lastButtons = Qt::NoButton;
    MouseEventList m_pendingMouseEvents;
    MouseEventResponses m_responses;
    QTimer *m_updateTimer = nullptr;
    bool m_tracesChanged = true;
    TraceList m_traces;
    QPointer<QQuickItem> m_rubberBand;
    QPoint m_pressPoint;
    bool m_isZoomed = false;
};

} // namespace Frontend
} // namespace Korvel

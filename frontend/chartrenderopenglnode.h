#pragma once
// Draws the chart's traces as GL line strips into an offscreen frame buffer
// shown through an image node, and answers pointer picks by drawing the
// traces once more in flat identifying colours and reading single pixels.
// Lives on the Qt Quick render thread.

#include "frontend/chartrendernode.h"

#include <QHash>
#include <QObject>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLVertexArrayObject>

#include <memory>

class QOpenGLFramebufferObject;
class QOpenGLShaderProgram;
class QQuickWindow;
class QSGImageNode;
class QSGTexture;

namespace Korvel {
namespace Frontend {

class OpenGLRenderNode : public QObject, public AbstractRenderNode, public QOpenGLFunctions
{
    Q_OBJECT

public:
    // Needs the scene graph's OpenGL context current (the sync step).
    explicit OpenGLRenderNode(QQuickWindow *window);
    ~OpenGLRenderNode() override;

    void setSize(const QSize &size) override;
    QSize size() const override { return m_size; }
    void setRect(const QRectF &rect) override;
    void syncTraces(bool listChanged, const TraceList &traces) override;
    void setAntialiasing(bool antialiasing) override;
    void pushMouseEvents(MouseEventList &events) override;
    MouseEventResponses takeMouseEventResponses() override;
    void render() override;

private:
    void createShaderProgram();
    void createFramebuffers();
    void drawTraces(bool picking);
    void clearDrawing();
    // Answers the events of this frame; runs at the window's beforeRendering.
    void pickTraces();
    AbstractTrace *traceAt(const QPoint &position);

    QSize m_size{1, 1};
    QSGTexture *m_texture = nullptr;
    QSGImageNode *m_imageNode = nullptr;
    QQuickWindow *m_window = nullptr;
    TraceList m_traces;
    bool m_framebuffersDirty = true;
    QOpenGLFramebufferObject *m_renderFramebuffer = nullptr;
    QOpenGLFramebufferObject *m_resolveFramebuffer = nullptr;
    QOpenGLFramebufferObject *m_pickingFramebuffer = nullptr;
    QOpenGLShaderProgram *m_program = nullptr;
    bool m_programFailed = false;
    int m_colorLocation = -1;
    int m_matrixLocation = -1;
    int m_minYLocation = -1;
    int m_maxYLocation = -1;
    int m_isPolarLocation = -1;
    QRectF m_rect;
    QOpenGLVertexArrayObject m_vertexArray;
    QHash<AbstractTrace *, std::shared_ptr<QOpenGLBuffer>> m_buffers;
    bool m_needsRender = true;
    bool m_antialiasing = false;
    bool m_pickingDirty = true;
    TraceList m_pickList;
    MouseEventList m_pendingEvents;
    MouseEventResponses m_responses;
    QPoint m_pressPosition;
    bool m_pressed = false;
    AbstractTrace *m_pressTrace = nullptr;
    AbstractTrace *m_hoverTrace = nullptr;
};

} // namespace Frontend
} // namespace Korvel

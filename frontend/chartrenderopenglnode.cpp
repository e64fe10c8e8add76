#include "frontend/chartrenderopenglnode.h"

#include "frontend/logging.h"
#include "frontend/trace.h"

#include <QByteArray>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLShaderProgram>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <QVector3D>
#include <QtDebug>

#include <algorithm>

#ifndef GL_PROGRAM_POINT_SIZE
#define GL_PROGRAM_POINT_SIZE 0x8642
#endif

namespace Korvel {
namespace Frontend {

namespace {

// The vertex shader after its input declaration, the same for both profiles.
// The y clamp keeps lines that leave the y range one pixel inside the plot;
// z is kept at the far plane at most so that nothing is clipped away in depth.
const char *const vertexShaderBody = R"(uniform highp mat4 matrix;
uniform highp float minY;
uniform highp float maxY;
uniform bool isPolar;
void main()
{
    highp vec2 p = points;
    if (!isPolar)
        p.y = clamp(p.y, minY, maxY);
    gl_Position = matrix * vec4(p, 0.0, 1.0);
    gl_Position.z = min(gl_Position.z, 1.0);
}
)";

const char *const coreVertexInput = "#version 150\nin highp vec2 points;\n";
const char *const legacyVertexInput = "attribute highp vec2 points;\n";

const char *const coreFragmentShader = R"(#version 150
uniform highp vec3 color;
out highp vec4 fragColor;
void main()
{
    fragColor = vec4(color, 1.0);
}
)";

const char *const legacyFragmentShader = R"(uniform highp vec3 color;
void main()
{
    gl_FragColor = vec4(color, 1.0);
}
)";

QVector3D identifierColor(int k)
{
    return QVector3D(float(k & 255), float((k >> 8) & 255), float((k >> 16) & 255)) / 255.0f;
}

} // namespace

OpenGLRenderNode::OpenGLRenderNode(QQuickWindow *window) : m_window(window)
{
    initializeOpenGLFunctions();
    // The node lives on the render thread, where beforeRendering is emitted.
    connect(window, &QQuickWindow::beforeRendering, this, &OpenGLRenderNode::pickTraces, Qt::DirectConnection);
}

OpenGLRenderNode::~OpenGLRenderNode()
{
    m_buffers.clear();
    if (m_vertexArray.isCreated())
        m_vertexArray.destroy();
    delete m_program;
    delete m_renderFramebuffer;
    delete m_resolveFramebuffer;
    delete m_pickingFramebuffer;
    delete m_texture;
    // The image node is a child owned by this node and does not own the
    // texture; it goes with the base class.
}

void OpenGLRenderNode::setSize(const QSize &size)
{
    m_size = size;
    m_framebuffersDirty = true;
    m_needsRender = true;
    m_pickingDirty = true;
}

void OpenGLRenderNode::setRect(const QRectF &rect)
{
    m_rect = rect;
    if (m_imageNode)
        m_imageNode->setRect(rect);
}

void OpenGLRenderNode::setAntialiasing(bool antialiasing)
{
    if (m_antialiasing == antialiasing)
        return;
    m_antialiasing = antialiasing;
    m_framebuffersDirty = true;
    m_needsRender = true;
}

void OpenGLRenderNode::pushMouseEvents(MouseEventList &events)
{
    if (events.empty())
        return;
    for (auto &event : events)
        m_pendingEvents.push_back(std::move(event));
    events.clear();
    // A changed node makes the scene graph render this frame, so that
    // beforeRendering comes and the events are answered.
    markDirty(QSGNode::DirtyMaterial);
}

MouseEventResponses OpenGLRenderNode::takeMouseEventResponses()
{
    MouseEventResponses out;
    out.swap(m_responses);
    return out;
}

void OpenGLRenderNode::syncTraces(bool listChanged, const TraceList &traces)
{
    m_traces = traces;
    if (listChanged) {
        QHash<AbstractTrace *, std::shared_ptr<QOpenGLBuffer>> buffers;
        for (AbstractTrace *trace : m_traces)
            buffers.insert(trace, m_buffers.value(trace));
        m_buffers.swap(buffers); // buffers of traces no longer listed go with the old map
        markDirty(QSGNode::DirtyMaterial);
        m_needsRender = true;
        m_pickingDirty = true;
        return;
    }
    bool changed = false;
    for (AbstractTrace *trace : m_traces) {
        TraceRenderData *data = trace->renderData();
        if (!data->uploadRange.isEmpty() || data->matricesChanged) {
            data->matricesChanged = false;
            changed = true;
        }
    }
    if (!changed)
        return;
    markDirty(QSGNode::DirtyMaterial);
    m_needsRender = true;
    m_pickingDirty = true;
}

void OpenGLRenderNode::createShaderProgram()
{
    createFramebuffers();
    QOpenGLContext *context = QOpenGLContext::currentContext();
    const bool core = context->format().profile() == QSurfaceFormat::CoreProfile;
    m_program = new QOpenGLShaderProgram;
    const bool ok =
        m_program->addShaderFromSourceCode(QOpenGLShader::Vertex,
                                           QByteArray(core ? coreVertexInput : legacyVertexInput) + vertexShaderBody)
        && m_program->addShaderFromSourceCode(QOpenGLShader::Fragment,
                                              core ? coreFragmentShader : legacyFragmentShader);
    m_program->bindAttributeLocation("points", 0);
    if (!ok || !m_program->link()) {
        qCWarning(lcFrontend) << "Chart trace shader failed:" << m_program->log();
        delete m_program;
        m_program = nullptr;
        m_programFailed = true;
        return;
    }
    m_program->bind();
    m_colorLocation = m_program->uniformLocation("color");
    m_matrixLocation = m_program->uniformLocation("matrix");
    m_minYLocation = m_program->uniformLocation("minY");
    m_maxYLocation = m_program->uniformLocation("maxY");
    m_isPolarLocation = m_program->uniformLocation("isPolar");
    m_vertexArray.create();
    if (!context->isOpenGLES())
        glEnable(GL_PROGRAM_POINT_SIZE);
    m_program->release();
}

void OpenGLRenderNode::createFramebuffers()
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    int samples = 0;
    if (m_antialiasing)
        samples = (context->isOpenGLES() && context->format().majorVersion() < 3) ? 0 : 8;

    delete m_renderFramebuffer;
    delete m_resolveFramebuffer;
    delete m_pickingFramebuffer;
    m_resolveFramebuffer = nullptr;

    const QSize size = m_size.expandedTo(QSize(1, 1));
    QOpenGLFramebufferObjectFormat format;
    format.setAttachment(QOpenGLFramebufferObject::NoAttachment);
    format.setSamples(samples);
    m_renderFramebuffer = new QOpenGLFramebufferObject(size, format);
    // The driver may give fewer samples than asked for, or none.
    if (m_renderFramebuffer->format().samples() > 0)
        m_resolveFramebuffer =
            new QOpenGLFramebufferObject(size, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D);
    m_pickingFramebuffer = new QOpenGLFramebufferObject(size, QOpenGLFramebufferObject::NoAttachment, GL_TEXTURE_2D);

    // New buffers hold undefined pixels until drawn into: start transparent.
    glClearColor(0, 0, 0, 0);
    for (QOpenGLFramebufferObject *fbo : {m_renderFramebuffer, m_resolveFramebuffer, m_pickingFramebuffer}) {
        if (!fbo)
            continue;
        fbo->bind();
        glClear(GL_COLOR_BUFFER_BIT);
    }
    QOpenGLFramebufferObject::bindDefault();

    const GLuint textureId = (m_resolveFramebuffer ? m_resolveFramebuffer : m_renderFramebuffer)->texture();
    QSGTexture *texture = m_window->createTextureFromNativeObject(QQuickWindow::NativeObjectTexture, &textureId, 0,
                                                                  size, QQuickWindow::TextureHasAlphaChannel);

    if (!m_imageNode) {
        m_imageNode = m_window->createImageNode();
        m_imageNode->setFiltering(QSGTexture::Linear);
        m_imageNode->setTextureCoordinatesTransform(QSGImageNode::MirrorVertically);
        m_imageNode->setOwnsTexture(false);
        m_imageNode->setFlag(QSGNode::OwnedByParent);
        if (!m_rect.isEmpty())
            m_imageNode->setRect(m_rect);
        appendChildNode(m_imageNode);
    }
    m_imageNode->setTexture(texture);
    delete m_texture;
    m_texture = texture;
    m_framebuffersDirty = false;
}

void OpenGLRenderNode::clearDrawing()
{
    glClearColor(0, 0, 0, 0);
    for (QOpenGLFramebufferObject *fbo : {m_renderFramebuffer, m_resolveFramebuffer}) {
        if (!fbo)
            continue;
        fbo->bind();
        glClear(GL_COLOR_BUFFER_BIT);
    }
    QOpenGLFramebufferObject::bindDefault();
}

void OpenGLRenderNode::render()
{
    const bool pickingWanted = !m_pendingEvents.empty() && m_pickingDirty;
    if (!m_traces.empty() && (m_needsRender || pickingWanted)) {
        // Start from a known state whatever the scene graph left bound or
        // enabled (scissor, depth test, blending) in the previous frame.
        m_window->resetOpenGLState();
        if (!m_program && !m_programFailed)
            createShaderProgram();
        if (m_program) {
            if (m_framebuffersDirty)
                createFramebuffers();
            if (m_needsRender) {
                m_renderFramebuffer->bind();
                drawTraces(false);
                if (m_resolveFramebuffer) {
                    const QRect whole(QPoint(0, 0), m_renderFramebuffer->size());
                    QOpenGLFramebufferObject::blitFramebuffer(m_resolveFramebuffer, whole, m_renderFramebuffer, whole,
                                                              GL_COLOR_BUFFER_BIT, GL_NEAREST);
                }
                markDirty(QSGNode::DirtyMaterial);
            }
            // Picking is drawn whenever events wait on a changed scene, also in
            // a frame that needs no new drawing, so no answer reads a stale or
            // never-drawn picking buffer.
            if (pickingWanted) {
                m_pickingFramebuffer->bind();
                m_pickList.assign(m_traces.size(), nullptr);
                drawTraces(true);
                m_pickingDirty = false;
            }
        }
    } else if (m_needsRender && m_traces.empty() && m_imageNode && !m_imageNode->rect().isEmpty()) {
        m_window->resetOpenGLState();
        clearDrawing();
        m_imageNode->setRect(QRectF());
    }
    m_needsRender = false;
    m_window->resetOpenGLState();
}

void OpenGLRenderNode::drawTraces(bool picking)
{
    glClearColor(0, 0, 0, 0);
    if (m_vertexArray.isCreated())
        m_vertexArray.bind();
    m_program->bind();
    glClear(GL_COLOR_BUFFER_BIT);
    m_program->enableAttributeArray(0);

    int k = 0;
    for (AbstractTrace *trace : m_traces) {
        TraceRenderData *data = trace->renderData();
        if (!data->visibleSnapshot)
            continue;
        glViewport(0, 0, m_size.width(), m_size.height());
        if (picking) {
            m_pickList[k] = trace;
            m_program->setUniformValue(m_colorLocation, identifierColor(k));
            ++k;
        } else {
            m_program->setUniformValue(
                m_colorLocation,
                QVector3D(float(data->color.redF()), float(data->color.greenF()), float(data->color.blueF())));
        }
        m_program->setUniformValue(m_minYLocation, data->minY);
        m_program->setUniformValue(m_maxYLocation, data->maxY);
        m_program->setUniformValue(m_isPolarLocation, false);

        std::shared_ptr<QOpenGLBuffer> &buffer = m_buffers[trace];
        if (!buffer) {
            buffer = std::make_shared<QOpenGLBuffer>(QOpenGLBuffer::VertexBuffer);
            buffer->create();
            buffer->setUsagePattern(QOpenGLBuffer::DynamicDraw);
        }
        buffer->bind();
        const int bytes = int(sizeof(TracePoint) * data->points.size());
        if (buffer->size() != bytes) {
            data->uploadRange = data->dataRange;
            buffer->allocate(bytes);
        }
        while (!data->uploadRange.isEmpty()) {
            const DirtyRange::Piece piece = data->uploadRange.take(false);
            if (piece.count <= 0)
                break;
            buffer->write(int(sizeof(TracePoint)) * piece.offset, data->points.data() + piece.offset,
                          int(sizeof(TracePoint)) * piece.count);
        }
        m_program->setAttributeBuffer(0, GL_FLOAT, 0, 2, 0);

        for (const QMatrix4x4 &matrix : data->matrices) {
            m_program->setUniformValue(m_matrixLocation, matrix);
            DirtyRange drawn = data->dataRange;
            while (!drawn.isEmpty()) {
                const DirtyRange::Piece piece = drawn.take(true);
                if (piece.count <= 0)
                    break;
                glLineWidth(picking ? data->lineWidth + 5.0f : data->lineWidth);
                glDrawArrays(GL_LINE_STRIP, piece.offset, piece.count);
            }
        }
        buffer->release();
    }
    if (m_vertexArray.isCreated())
        m_vertexArray.release();
}

AbstractTrace *OpenGLRenderNode::traceAt(const QPoint &position)
{
    if (m_traces.empty() || !m_pickingFramebuffer || m_pickingDirty)
        return nullptr;
    // Events outside the buffer (a release after dragging off the chart)
    // hit nothing; reading there would give undefined pixels.
    const QSize size = m_pickingFramebuffer->size();
    if (position.x() < 0 || position.y() < 0 || position.x() >= size.width() || position.y() >= size.height())
        return nullptr;
    m_pickingFramebuffer->bind();
    uchar pixel[4] = {0, 0, 0, 0};
    // Rows of the buffer count from the bottom; the image node mirrors them.
    glReadPixels(position.x(), size.height() - 1 - position.y(), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    if (pixel[3] != 255)
        return nullptr;
    const int k = pixel[0] + 256 * pixel[1] + 65536 * pixel[2];
    if (k < 0 || k >= int(m_pickList.size()))
        return nullptr;
    return m_pickList[size_t(k)];
}

void OpenGLRenderNode::pickTraces()
{
    if (m_pendingEvents.empty())
        return;
    for (const auto &event : m_pendingEvents) {
        const QPoint position = event->pos();
        AbstractTrace *trace = traceAt(position);
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            if (trace) {
                m_pressed = true;
                m_pressPosition = position;
                m_pressTrace = trace;
                m_responses.push_back({MouseEventResponse::Kind::Pressed, position, trace});
            }
            break;
        case QEvent::MouseButtonRelease:
            m_responses.push_back({MouseEventResponse::Kind::Released, m_pressPosition, m_pressTrace});
            if (m_pressed)
                m_responses.push_back({MouseEventResponse::Kind::Clicked, m_pressPosition, m_pressTrace});
            if (m_hoverTrace == m_pressTrace && m_hoverTrace != trace) {
                if (m_hoverTrace)
                    m_responses.push_back({MouseEventResponse::Kind::HoverLeave, position, m_hoverTrace});
                m_hoverTrace = nullptr;
            }
            m_pressTrace = nullptr;
            m_pressed = false;
            break;
        case QEvent::MouseButtonDblClick:
            if (trace)
                m_responses.push_back({MouseEventResponse::Kind::DoubleClicked, position, trace});
            break;
        case QEvent::MouseMove:
            if (trace == m_hoverTrace)
                break;
            if (m_hoverTrace)
                m_responses.push_back({MouseEventResponse::Kind::HoverLeave, position, m_hoverTrace});
            if (trace)
                m_responses.push_back({MouseEventResponse::Kind::HoverEnter, position, trace});
            m_hoverTrace = trace;
            break;
        default:
            break;
        }
    }
    QOpenGLFramebufferObject::bindDefault();
    m_pendingEvents.clear();
}

} // namespace Frontend
} // namespace Korvel

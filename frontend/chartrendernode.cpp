#include "frontend/chartrendernode.h"

#include "frontend/chartrenderopenglnode.h"

#include <QQuickWindow>
#include <QSGRendererInterface>

namespace Korvel {
namespace Frontend {

ChartNode::ChartNode(QQuickWindow *window) : m_window(window)
{
    if (!window || !window->rendererInterface())
        return;
    if (window->rendererInterface()->graphicsApi() != QSGRendererInterface::OpenGL)
        return;
    auto *node = new OpenGLRenderNode(window);
    node->setFlag(QSGNode::OwnedByParent);
    appendChildNode(node);
    node->setRect(QRectF());
    m_renderNode = node;
}

} // namespace Frontend
} // namespace Korvel

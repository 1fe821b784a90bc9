#include "offscreenmeshrenderer.h"

#include <QOpenGLFunctions>

static QSurfaceFormat coreFormat()
{
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

OffscreenMeshRenderer::OffscreenMeshRenderer(MeshShaderSource source) : m_renderer(std::move(source))
{
    m_surface.setFormat(coreFormat());
    m_surface.create();
    m_context.setFormat(coreFormat());
    if (!m_surface.isValid() || !m_context.create() || !m_context.makeCurrent(&m_surface)) {
        m_error = QStringLiteral("无法创建 OpenGL 上下文");
        return;
    }
    if (m_context.format().version() < qMakePair(3, 3)) {
        m_error = QStringLiteral("需要 OpenGL 3.3，当前为 %1.%2")
                      .arg(m_context.format().majorVersion())
                      .arg(m_context.format().minorVersion());
        return;
    }
    m_valid = true;
}

OffscreenMeshRenderer::~OffscreenMeshRenderer()
{
    if (!m_context.makeCurrent(&m_surface))
        return;
    m_renderer.releaseGl();
    m_framebuffer.reset();
    m_context.doneCurrent();
}

QString OffscreenMeshRenderer::errorText() const
{
    return m_error.isEmpty() ? m_renderer.errorText() : m_error;
}

bool OffscreenMeshRenderer::bindFramebuffer(QSize pixelSize)
{
    if (!m_valid || pixelSize.isEmpty() || !m_context.makeCurrent(&m_surface))
        return false;
    if (!m_framebuffer || m_framebuffer->size() != pixelSize)
        m_framebuffer = std::make_unique<QOpenGLFramebufferObject>(pixelSize);
    return m_framebuffer->bind();
}

bool OffscreenMeshRenderer::drawFrame(QSize pixelSize)
{
    if (!bindFramebuffer(pixelSize))
        return false;
    m_renderer.draw(pixelSize);
    m_context.functions()->glFinish();
    return true;
}

QImage OffscreenMeshRenderer::render(QSize pixelSize)
{
    if (!drawFrame(pixelSize))
        return {};
    return m_framebuffer->toImage();
}

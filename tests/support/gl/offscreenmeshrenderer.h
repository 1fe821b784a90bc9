#pragma once

#include "meshrenderer.h"

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QSize>
#include <memory>

// A mesh renderer with its own OpenGL 3.3 core context and framebuffer, for drawing a curved output into an
// image without a window (tests, benchmarks, snapshots). Needs a platform that offers GL (an X server).
class OffscreenMeshRenderer
{
  public:
    explicit OffscreenMeshRenderer(MeshShaderSource source = MeshShaderSource::builtIn());
    ~OffscreenMeshRenderer();

    // False when no 3.3 core context could be made; errorText() then says so.
    bool isValid() const { return m_valid; }
    QString errorText() const;
    MeshRenderer& renderer() { return m_renderer; }

    // Draws one frame of the given pixel size and waits for it; null without a context.
    QImage render(QSize pixelSize);
    // Draws one frame and waits for the GPU, without reading it back.
    bool drawFrame(QSize pixelSize);
    // The context current and a framebuffer of that size bound, for drawing of the caller's own.
    bool bindFramebuffer(QSize pixelSize);
    QOpenGLContext& context() { return m_context; }

  private:
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_framebuffer;
    MeshRenderer m_renderer;
    bool m_valid = false;
    QString m_error;
};

#include "meshwindow.h"

#include <QOpenGLContext>

MeshWindow::MeshWindow() : QOpenGLWindow(QOpenGLWindow::NoPartialUpdate)
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    setFormat(format);
}

MeshWindow::~MeshWindow()
{
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    releaseGl();
}

void MeshWindow::setInputs(const MeshInputs& inputs)
{
    if (m_renderer.update(inputs))
        update();
}

void MeshWindow::initializeGL()
{
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &MeshWindow::releaseGl, Qt::UniqueConnection);
}

void MeshWindow::paintGL()
{
    const qreal ratio = devicePixelRatio();
    m_renderer.draw(QSize(qRound(width() * ratio), qRound(height() * ratio)));
}

void MeshWindow::releaseGl()
{
    if (!context())
        return;
    makeCurrent();
    m_renderer.releaseGl();
    doneCurrent();
}

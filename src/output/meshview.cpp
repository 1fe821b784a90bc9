#include "meshview.h"

#include <QOpenGLContext>

MeshView::MeshView(QWidget* parent) : QOpenGLWidget(parent)
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    setFormat(format);
}

MeshView::~MeshView()
{
    // The base class destroys the context after this object is gone: no callback may reach it then.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
    releaseGl();
}

void MeshView::setInputs(const MeshInputs& inputs)
{
    if (m_renderer.update(inputs))
        update();
}

void MeshView::initializeGL()
{
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &MeshView::releaseGl, Qt::UniqueConnection);
}

void MeshView::paintGL()
{
    const qreal ratio = devicePixelRatioF();
    m_renderer.draw(QSize(qRound(width() * ratio), qRound(height() * ratio)));
}

void MeshView::releaseGl()
{
    if (!context())
        return;
    makeCurrent();
    m_renderer.releaseGl();
    doneCurrent();
}

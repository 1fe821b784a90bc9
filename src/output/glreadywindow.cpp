#include "glreadywindow.h"

#include <QGuiApplication>
#include <QOpenGLWidget>

void makeReadyForGLViews(QWidget* window)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    // A hidden GL view stays as the window's mark: Qt looks for one each time it creates the native window.
    auto* mark = new QOpenGLWidget(window);
    mark->setObjectName(QStringLiteral("glReady"));
    mark->setFixedSize(0, 0);
    mark->hide();
}

#include "screenoutputwindow.h"

#include "mappedoutput.h"

#include <QGuiApplication>
#include <QOpenGLWidget>
#include <QScreen>
#include <QVBoxLayout>

ScreenOutputWindow::ScreenOutputWindow(ScreenOutputSource* source, const ScreenRole& role, QScreen* screen,
                                       const QRect& geometry)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      m_screen(screen), m_output(new MappedOutput(source, role, {.physical = true}))
{
    setWindowTitle(role.rawValue);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::BlankCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_output);
    // Created for OpenGL content from the start (a GL view present when it is first shown): adding the first GL view
    // to a shown window makes Qt recreate it, on the first display.
    auto* glMark = new QOpenGLWidget(this);
    glMark->hide();
    setScreen(screen);
    place(geometry);
    show();
    delete glMark;
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* removed) {
        if (removed == m_screen)
            screenLost();
    });
    connect(screen, &QObject::destroyed, this, &ScreenOutputWindow::screenLost);
}

void ScreenOutputWindow::place(const QRect& geometry)
{
    setGeometry(geometry);
}

// Qt moves the windows of a removed display elsewhere, possibly over the console: hide at once.
void ScreenOutputWindow::screenLost()
{
    if (!m_open)
        return;
    m_open = false;
    hide();
}

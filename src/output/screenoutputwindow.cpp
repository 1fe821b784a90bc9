#include "screenoutputwindow.h"

#include "glreadywindow.h"
#include "mappedoutput.h"

#include <QGuiApplication>
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
    // Recreated, the window would come back on the first display.
    makeReadyForGLViews(this);
    setScreen(screen);
    place(geometry);
    show();
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

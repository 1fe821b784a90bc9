#include "screenoutputwindow.h"

#include "glreadywindow.h"
#include "mappedoutput.h"
#include "screendisplayprovider.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

ScreenOutputWindow::ScreenOutputWindow(Engine& engine, const ScreenRole& role, QScreen* screen,
                                       const DisplayScreen& display)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      m_screen(screen), m_output(new MappedOutput(&engine, role, true, false, false))
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
    place(display);
    show();
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* removed) {
        if (removed == m_screen)
            screenLost();
    });
    connect(screen, &QObject::destroyed, this, &ScreenOutputWindow::screenLost);
}

void ScreenOutputWindow::place(const DisplayScreen& display)
{
    setGeometry(display.geometry);
}

void ScreenOutputWindow::raise()
{
    QWidget::raise();
}

// Qt moves the windows of a removed display elsewhere, possibly over the console: hide at once.
void ScreenOutputWindow::screenLost()
{
    if (!m_open)
        return;
    m_open = false;
    hide();
}

std::unique_ptr<OutputWindow> OutputWindows::open(Engine& engine, const ScreenRole& role, const DisplayScreen& display)
{
    // Without a window system there is no display to cover (and no OpenGL for the views).
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return nullptr;
    QScreen* screen = ScreenDisplayProvider::screen(display.number);
    if (!screen)
        return nullptr;
    return std::make_unique<ScreenOutputWindow>(engine, role, screen, display);
}

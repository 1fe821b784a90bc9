#include "screenoutputwindows.h"

#include "engine.h"
#include "engineoutputsource.h"
#include "screendisplayprovider.h"
#include "screenoutputwindow.h"

#include <QGuiApplication>

namespace {

class BoundOutputWindow : public OutputWindow
{
  public:
    explicit BoundOutputWindow(std::unique_ptr<ScreenOutputWindow> window) : m_window(std::move(window)) {}
    void place(const DisplayScreen& display) override { m_window->place(display.geometry); }
    void raise() override { m_window->raise(); }
    bool isOpen() const override { return m_window->isOpen(); }

  private:
    std::unique_ptr<ScreenOutputWindow> m_window;
};

} // namespace

std::unique_ptr<OutputWindow> ScreenOutputWindows::open(Engine& engine, const ScreenRole& role,
                                                        const DisplayScreen& display)
{
    // Without a window system there is no display to cover (and no OpenGL for the views).
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return nullptr;
    QScreen* screen = ScreenDisplayProvider::screen(display.number);
    if (!screen)
        return nullptr;
    auto window =
        std::make_unique<ScreenOutputWindow>(EngineOutputSource::of(engine), role, screen, display.geometry, m_options);
    // The window stays open and black; the operator learns why on the status line.
    QObject::connect(window.get(), &ScreenOutputWindow::failed, &engine, [&engine, role](const QString& reason) {
        engine.setMessage(QStringLiteral("输出窗口无法绘制 · %1（%2）").arg(role.rawValue, reason));
    });
    return std::make_unique<BoundOutputWindow>(std::move(window));
}

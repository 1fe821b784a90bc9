#pragma once

#include "outputwindowfactory.h"

#include <QPointer>
#include <QWidget>

class MappedOutput;
class QScreen;

// A bound screen on its display: a borderless window above all others that exactly covers the display, takes
// neither the mouse nor the keyboard, and shows the screen's mapped output. It closes itself when its display goes.
class ScreenOutputWindow : public QWidget, public OutputWindow
{
    Q_OBJECT
  public:
    ScreenOutputWindow(Engine& engine, const ScreenRole& role, QScreen* screen, const DisplayScreen& display);

    void place(const DisplayScreen& display) override;
    void raise() override;
    bool isOpen() const override { return m_open; }
    MappedOutput* output() const { return m_output; }

  private:
    void screenLost();

    QPointer<QScreen> m_screen;
    MappedOutput* m_output;
    bool m_open = true;
};

// The real output windows, for the engine's services.
class OutputWindows : public OutputWindowFactory
{
  public:
    std::unique_ptr<OutputWindow> open(Engine& engine, const ScreenRole& role, const DisplayScreen& display) override;
};

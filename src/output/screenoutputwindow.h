#pragma once

#include "screenrole.h"

#include <QPointer>
#include <QWidget>

class MappedOutput;
class QScreen;
class ScreenOutputSource;

// A bound screen on its display: a borderless window above all others that exactly covers the display, takes
// neither the mouse nor the keyboard, and shows the screen's mapped output. It closes itself when its display goes.
class ScreenOutputWindow : public QWidget
{
    Q_OBJECT
  public:
    ScreenOutputWindow(ScreenOutputSource* source, const ScreenRole& role, QScreen* screen, const QRect& geometry);

    // Covers the display again (after a change of its resolution or arrangement).
    void place(const QRect& geometry);
    // False once the window lost its display and closed itself.
    bool isOpen() const { return m_open; }
    MappedOutput* output() const { return m_output; }

  private:
    void screenLost();

    QPointer<QScreen> m_screen;
    MappedOutput* m_output;
    bool m_open = true;
};

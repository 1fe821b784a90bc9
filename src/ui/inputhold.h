#pragma once

#include <QObject>

// While one lives, the program's windows take no input, as under a modal panel of the program's own: presses,
// keys, the wheel, drops, context menus and shortcuts are dropped before any widget or shortcut sees them, while
// drawing, timers and sockets go on. A window may still be closed, and a modal dialog shown meanwhile (a question
// asked on the way out) takes its own input.
class InputHold : public QObject
{
  public:
    InputHold();
    ~InputHold() override;

    // Whether the event is input that a hold drops.
    static bool isInput(const QEvent& event);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

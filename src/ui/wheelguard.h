#pragma once

#include <QObject>

class QWidget;

// The mouse wheel never edits a value: over a combo box, slider or spin box a notch scrolls the panel around it (or
// does nothing), and a notch never gives such a control the keyboard focus. Values change by click, drag, typing and
// by keys once focused. One filter for the whole application.
class WheelGuard : public QObject
{
    Q_OBJECT
  public:
    // Installs the guard on the application once; later calls do nothing.
    static void install();
    // A slider whose value is a view of the show (zoom, pan), not part of it, keeps the wheel.
    static void letWheelMoveView(QWidget* control);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    using QObject::QObject;
};

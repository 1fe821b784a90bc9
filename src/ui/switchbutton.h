#pragma once

#include <QPushButton>

// A switch drawn as a push button that stays pressed while on. "On" is filled with the console's active colour, so
// it reads at a glance from across a dark room, not only by a shade of the button's own grey.
class SwitchButton : public QPushButton
{
    Q_OBJECT
  public:
    explicit SwitchButton(const QString& text, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

#pragma once

#include <QWidget>

// The product mark at whatever size the widget is given (29 x 29 in the console's header).
class LumoMark : public QWidget
{
    Q_OBJECT
  public:
    explicit LumoMark(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

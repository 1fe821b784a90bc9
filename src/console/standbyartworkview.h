#pragma once

#include <QWidget>

// The built-in standby picture, filling the widget.
class StandbyArtwork : public QWidget
{
    Q_OBJECT
  public:
    explicit StandbyArtwork(QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

#pragma once

#include "displayscreen.h"

#include <QWidget>
#include <optional>

class DisplayPreview;
class Picture;
class ScreenMonitorLabel;

// A screen card's monitor: the picture at the shape of the screen's display, filled as that display fills it (or
// fitted into 16:9 without a display), and its caption below.
class ScreenMonitor : public QWidget
{
    Q_OBJECT
  public:
    ScreenMonitor(Picture* picture, const std::optional<DisplayScreen>& display, double height,
                  QWidget* parent = nullptr);

    void setPicture(Picture* picture);
    void setDisplay(const std::optional<DisplayScreen>& display);
    void setHeight(double height);
    DisplayPreview* preview() const { return m_preview; }
    ScreenMonitorLabel* label() const { return m_label; }

  private:
    DisplayPreview* m_preview;
    ScreenMonitorLabel* m_label;
};

#pragma once

#include "aspectbox.h"
#include "displayscreen.h"

#include <optional>

class Picture;
class PictureView;

// One picture in a frame of the shape of the display its screen is bound to (16:9 without a display). It samples
// the picture as every console monitor does, never acting as a real output.
class DisplayPreview : public AspectBox
{
    Q_OBJECT
  public:
    DisplayPreview(Picture* picture, const std::optional<DisplayScreen>& display, bool fillsScreen,
                   QWidget* parent = nullptr);

    void setPicture(Picture* picture);
    Picture* picture() const;
    void setDisplay(const std::optional<DisplayScreen>& display);
    void setFillsScreen(bool fills);
    PictureView* pictureView() const { return m_view; }

    // The shape of a display's output in pixels; 16 × 9 without one.
    static QSizeF aspectOf(const std::optional<DisplayScreen>& display);

  private:
    PictureView* m_view;
};

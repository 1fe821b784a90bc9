#pragma once

#include "picturecanvas.h"

#include <QWidget>

class Picture;

// Shows one picture in a monitor of the console, sampling its video 24 times a second. (Output windows draw through
// the mesh renderer on a thread of their own.)
class PictureView : public QWidget
{
    Q_OBJECT
  public:
    PictureView(Picture* picture, bool fillsScreen, QWidget* parent = nullptr);

    void setPicture(Picture* picture) { m_canvas.setPicture(picture); }
    Picture* picture() const { return m_canvas.picture(); }
    void setFillsScreen(bool fills) { m_canvas.setFillsScreen(fills); }
    const PictureCanvas& canvas() const { return m_canvas; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void canvasChanged();

    PictureCanvas m_canvas;
};

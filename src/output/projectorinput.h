#pragma once

#include "picturecanvas.h"

#include <QObject>
#include <QRectF>

class Picture;
class QPainter;

// What a corner-pinned output warps: the picture, or the test pattern, cut to the crop rectangle and enlarged so
// that the crop exactly fills the output. The picture is drawn as a monitor draws it, filling the frame.
class ProjectorInput : public QObject
{
    Q_OBJECT
  public:
    ProjectorInput(Picture* picture, const QRectF& crop, bool testPattern, QObject* parent = nullptr);

    void setPicture(Picture* picture) { m_canvas.setPicture(picture); }
    void setCrop(const QRectF& crop);
    void setTestPattern(bool testPattern);
    QRectF crop() const { return m_crop; }
    bool testPattern() const { return m_testPattern; }
    void setActive(bool active) { m_canvas.setActive(active); }
    void paint(QPainter& painter, const QSizeF& size);

  signals:
    void changed();

  private:
    PictureCanvas m_canvas;
    QRectF m_crop;
    bool m_testPattern;
};

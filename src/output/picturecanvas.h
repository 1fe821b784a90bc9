#pragma once

#include "picture.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <memory>

class QPainter;
class VideoSurface;

// The layers one picture is drawn in, back to front: black; the fallback image, or the standby artwork when the
// picture shows nothing of its own; the content (a still, or the video over its frozen transition frame). A black
// picture draws black only. Shows the picture's independent output when it has one; the picture's own black switch
// still counts. Images are fitted, or fill and are cut when fillsScreen is set.
class PictureCanvas : public QObject
{
    Q_OBJECT
  public:
    PictureCanvas(Picture* picture, bool fillsScreen, QObject* parent = nullptr);
    ~PictureCanvas() override;

    void setPicture(Picture* picture);
    Picture* picture() const { return m_picture; }
    void setFillsScreen(bool fills);
    // Video is followed only while the canvas is on screen.
    void setActive(bool active);
    void setTargetSize(QSize pixels);
    void paint(QPainter& painter, const QRectF& rect) const;
    // Whether what is drawn is the standby artwork: the picture shows nothing of its own and has no fallback.
    bool showsStandbyArtwork() const;
    VideoSurface* surface() const { return m_surface.get(); }

  signals:
    void changed();

  private:
    void refresh();
    void scheduleRefresh();
    void watch(Picture* picture);
    void drawImage(QPainter& painter, const QImage& image, const QRectF& rect) const;
    void drawStandby(QPainter& painter, const QRectF& rect) const;

    QPointer<Picture> m_picture;
    bool m_fillsScreen;
    bool m_refreshPending = false;
    std::unique_ptr<VideoSurface> m_surface;
    QList<QMetaObject::Connection> m_watches;
};

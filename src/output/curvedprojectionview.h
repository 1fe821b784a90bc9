#pragma once

#include "meshframes.h"
#include "projectormapping.h"

#include <QImage>
#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <optional>

class MeshVideoFeed;
class MonitorRenderThread;
class Picture;

// A screen's picture drawn through a mapping with a curved mesh, as a console monitor. Shows the root picture's
// independent output when it has one (the root's black switch still counts), a foreground over the output's
// fallback, and the calibration grid instead of the picture when asked. The mesh is drawn off screen on a render
// thread of the view's own and read back there; the view only paints the finished image, so its window stays a
// plain raster window. Takes video frames from the decoder's thread only while on screen, showing a video and
// drawing neither the grid nor black, and redraws the video at most 24 times a second.
class CurvedProjectionView : public QWidget
{
    Q_OBJECT
  public:
    CurvedProjectionView(Picture* root, const ProjectorMapping& mapping, bool pattern, QWidget* parent = nullptr);
    ~CurvedProjectionView() override;

    void setRoot(Picture* root);
    void setMapping(const ProjectorMapping& mapping);
    void setPattern(bool pattern);

    bool isSubscribed() const { return m_token.has_value(); }
    QString errorText() const;
    // The drawing on show, in device pixels; null before the first.
    QImage shownImage() const { return m_image; }
    // Drawings made by the render thread so far.
    quint64 drawings() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void refresh();
    void scheduleRefresh();
    void watch(Picture* picture);
    void subscribe(MeshVideoFeed* wanted);
    void unsubscribe();
    void updateSurface();
    void takeImage();

    QPointer<Picture> m_root;
    ProjectorMapping m_mapping;
    bool m_pattern = false;
    bool m_refreshPending = false;
    bool m_shown = false;
    std::unique_ptr<MonitorRenderThread> m_renderer;
    QImage m_image;
    std::shared_ptr<MeshFrames> m_frames = std::make_shared<MeshFrames>();
    QList<QMetaObject::Connection> m_watches;
    QPointer<MeshVideoFeed> m_feed;
    std::optional<QUuid> m_token;
};

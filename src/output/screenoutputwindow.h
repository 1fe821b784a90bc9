#pragma once

#include "meshframes.h"
#include "outputrenderthread.h"
#include "screenrole.h"

#include <QPointer>
#include <QUuid>
#include <QWindow>
#include <memory>
#include <optional>

class MeshVideoFeed;
class Picture;
class QScreen;
class ScreenOutputSource;

// A bound screen on its display: a borderless window above all others that exactly covers the display, takes
// neither the mouse nor the keyboard, and shows the screen's programme through its projector mapping (plain when
// the mapping is off). Every kind of output is drawn by the mesh renderer on a render thread of the window's own;
// the main thread only hands over snapshots of what to draw, and video frames go from the decoder's thread to the
// render thread. It closes itself when its display goes.
class ScreenOutputWindow : public QWindow
{
    Q_OBJECT
  public:
    ScreenOutputWindow(ScreenOutputSource* source, const ScreenRole& role, QScreen* screen, const QRect& geometry,
                       OutputRenderOptions options = {});
    ~ScreenOutputWindow() override;

    // Covers the display again (after a change of its resolution or arrangement).
    void place(const QRect& geometry);
    // False once the window lost its display and closed itself.
    bool isOpen() const { return m_open; }
    ScreenRole role() const { return m_role; }
    // Why the output stays black; empty when it draws.
    QString errorText() const;
    // Frames swapped so far.
    quint64 swaps() const;

  signals:
    // Sent on the render thread after each swap, with the media time of the video frame on show (negative when
    // none), the host time it fell due (steady clock, ns; negative for a frame shown at once) and its item: connect
    // with Qt::DirectConnection to see every frame without waiting for the main thread.
    void frameSwapped(double videoTime, qint64 dueNs, quint64 item);
    // Sent on the main thread when the output turns black, with why.
    void failed(const QString& reason);

  protected:
    bool event(QEvent* event) override;
    void exposeEvent(QExposeEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void refresh();
    void scheduleRefresh();
    void takeInPreparedVideo();
    void subscribe(MeshVideoFeed* wanted);
    void unsubscribe();
    void updateSurface();
    void screenLost();

    QPointer<ScreenOutputSource> m_source;
    ScreenRole m_role;
    QPointer<QScreen> m_screen;
    std::unique_ptr<OutputRenderThread> m_renderer;
    std::shared_ptr<MeshFrames> m_frames = std::make_shared<MeshFrames>();
    QList<QMetaObject::Connection> m_watches;
    QPointer<MeshVideoFeed> m_feed;
    std::optional<QUuid> m_token;
    bool m_refreshPending = false;
    bool m_open = true;
};

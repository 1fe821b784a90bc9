#pragma once

#include "meshrenderer.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

class QOffscreenSurface;

// Draws a console monitor of a curved output off screen, on a thread of its own with its own OpenGL context, and
// reads each drawing back into an image for a plain widget to paint: the console's window then never composes
// through OpenGL. The main thread hands over snapshots of what to draw and the size; video frames come from the
// decoder's thread through the snapshot's MeshFrames and are drawn at most once per frame interval.
class MonitorRenderThread : public QThread
{
    Q_OBJECT
  public:
    // Made on the main thread: the off-screen surface must be created there.
    explicit MonitorRenderThread(std::chrono::milliseconds frameInterval, QObject* parent = nullptr);
    ~MonitorRenderThread() override;

    // Applied before the next drawing, all at once.
    void setInputs(const MeshInputs& inputs);
    // Nothing is drawn while hidden or empty; a change of either draws again.
    void setSurface(QSize pixelSize, bool shown);
    // Ends the thread once the drawing in progress is read back, and frees its GL objects.
    void stop();

    // The newest drawing, opaque, taken on the main thread after imageReady; the next drawing announces itself
    // again. Null before the first.
    QImage takeImage();
    // Why the monitor stays black; empty when it draws.
    QString errorText() const;
    // Drawings read back since the thread started.
    quint64 drawings() const { return m_drawings; }

  signals:
    // Sent on the render thread when a drawing is ready and the one before was taken: connect queued.
    void imageReady();

  protected:
    void run() override;

  private:
    using Clock = std::chrono::steady_clock;

    void fail(const QString& reason);
    bool waitForWork(std::unique_lock<std::mutex>& lock, bool first, Clock::time_point lastDrawing);
    QImage readBack(QSize size);

    // Shared with the frame feed's wake-up callback, which may run after this object is gone.
    struct Mailbox
    {
        std::mutex lock;
        std::condition_variable wake;
        std::optional<MeshInputs> inputs;
        QSize size;
        bool shown = false;
        bool frameWanted = false;
        bool videoWanted = false;
        bool maskReady = false;
        bool stopping = false;
        bool announced = false;
        QImage image;
        QString error;
    };

    std::chrono::milliseconds m_frameInterval;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::shared_ptr<Mailbox> m_mailbox = std::make_shared<Mailbox>();
    std::shared_ptr<MeshFrames> m_frames;
    // What the render thread draws; its own between start and stop.
    std::optional<MeshInputs> m_inputs;
    std::atomic<quint64> m_drawings{0};
};

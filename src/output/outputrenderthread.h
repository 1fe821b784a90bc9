#pragma once

#include "meshrenderer.h"

#include <QSize>
#include <QString>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QOpenGLContext;
class QWindow;

struct OutputRenderOptions
{
    // Creates the render thread's context; a test makes it fail.
    std::function<bool(QOpenGLContext&)> createContext;
};

// Draws one output window on a thread of its own, with its own OpenGL context current there: the main thread only
// hands over what to draw (an immutable MeshInputs snapshot, the surface's size) and video frames come straight
// from the decoder's thread through the snapshot's MeshFrames. The thread sleeps until one of them is new or the next
// video frame is about to fall due, draws one frame and swaps; with the display's vertical sync the swap waits for
// the refresh on this thread only. Video frames arrive a little ahead of their due host time and each is drawn so that
// it reaches the screen as it falls due, at the first refresh from then (see FramePacing): two windows whose players
// started for one host time show the same frame, and the picture keeps time with the sound.
class OutputRenderThread : public QThread
{
    Q_OBJECT
  public:
    // The window must be an OpenGL surface and outlive the thread's use of it: stop() before its native window goes.
    explicit OutputRenderThread(QWindow* window, OutputRenderOptions options = {});
    ~OutputRenderThread() override;

    // Applied before the next frame is drawn, all at once: a frame shows the old inputs or the new, never a mix.
    void setInputs(const MeshInputs& inputs);
    // Nothing is drawn while the surface is not exposed; an exposed one is drawn again.
    void setSurface(QSize pixelSize, bool exposed);
    // Asks for a frame to be drawn.
    void requestFrame();
    // Ends the thread once the frame in progress is swapped, and frees its GL objects; it may be started again.
    void stop();

    // Why the output stays black; empty when it draws.
    QString errorText() const;
    // Frames swapped since the thread started.
    quint64 swaps() const { return m_swaps; }

  signals:
    // Sent on the render thread after each swap, with the media time of the video frame it shows (negative when
    // it shows none), the host time that frame fell due (steady clock, ns; negative for a frame shown at once) and
    // its item (the player's generation): connect directly to see every frame without the main thread.
    void frameSwapped(double videoTime, qint64 dueNs, quint64 item);
    // Sent on the render thread when the output turns black, with why; once per distinct reason.
    void failed(const QString& reason);

  protected:
    void run() override;

  private:
    void fail(const QString& reason);
    // The video frame due at the refresh a draw started now would reach, when it is not the one on show.
    std::optional<std::pair<quint64, std::uint64_t>> videoFrameDue();
    std::optional<std::chrono::steady_clock::time_point> nextVideoDrawAt() const;
    void noteDrawTime(std::chrono::nanoseconds taken);

    // What the main thread and the frame feed hand over; shared with the feed's wake-up callback, which may run
    // after this object is gone.
    struct Mailbox
    {
        std::mutex lock;
        std::condition_variable wake;
        std::optional<MeshInputs> inputs;
        QSize size;
        bool exposed = false;
        bool frameWanted = false;
        // A video frame came; it is drawn when it falls due.
        bool videoArrived = false;
        bool maskReady = false;
        bool stopping = false;
        QString error;
    };

    QWindow* m_window;
    OutputRenderOptions m_options;
    std::shared_ptr<Mailbox> m_mailbox = std::make_shared<Mailbox>();
    std::shared_ptr<MeshFrames> m_frames;
    // What the render thread draws; its own between start and stop.
    std::optional<MeshInputs> m_inputs;
    std::atomic<quint64> m_swaps{0};
    // The render thread's own: how long a draw takes to reach the screen, and the video frame on show.
    std::chrono::nanoseconds m_drawTime{8'000'000};
    class DrawTimes;
    std::optional<std::pair<quint64, std::uint64_t>> m_shownFrame;
};

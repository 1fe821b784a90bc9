#pragma once

#include "videoframe.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;

// A player's video sink: keeps the newest decoded frame, in the decoder's own format where it is one that
// VideoFrame carries, so that nothing is converted unless a consumer asks. A playing frame is handed over a little
// before it falls due, stamped with the host time it is due at (sound delay included), so that an output can draw it
// in time to reach the screen then, rather than a draw's time after it arrived.
class VideoOutput
{
  public:
    // How long before its due time a playing frame is handed over: room for an output to draw it in time.
    static constexpr std::chrono::milliseconds kHandOverLead{30};

    VideoOutput();
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    GstElement* element() const { return m_bin; }
    std::optional<VideoFrame> currentFrame() const;
    // Forgets the frame and the orientation of the previous item; call with the pipeline stopped.
    void reset();

    // A prerolled frame (of a paused pipeline) has no due time: it shows at once, unless it is held back.
    void store(GstSample* sample, bool prerolled);
    // While the flag is set, a prerolled frame is held back rather than shown; releaseHeldFrame() hands it over.
    void setHoldPrerolledFrame(std::shared_ptr<std::atomic<bool>> hold) { m_holdPrerolled = std::move(hold); }
    // Hands the frame held back over, due as its pipeline starts at `start` (on the host clock): ahead of its due
    // time, as the sink itself hands the first frame of a start over no earlier than it falls due. Call before the
    // pipeline plays; the sink's own showing of that frame then counts as the same one.
    void releaseHeldFrame(std::chrono::steady_clock::time_point start);
    // Called on the streaming thread with each new frame after it is stored.
    void setFrameListener(std::function<void(const VideoFrame&)> listener) { m_frameListener = std::move(listener); }
    void setOrientation(const char* tag);
    // The video stream says it has no picture for now: it has ended before the sound (whose end the sink then waits
    // for, sent gaps meanwhile) or it marks a gap. The next frame, a seek or a new item ends that.
    bool streamIdle() const { return m_streamIdle; }
    void setStreamIdle(bool ended) { m_streamIdle = ended; }
    // How much later than the pipeline clock the sound is heard, counted into each frame's due time; set before the
    // pipeline runs. None counts as no delay.
    void setSoundDelay(std::function<std::chrono::nanoseconds()> delay) { m_soundDelay = std::move(delay); }

  private:
    // The host time the frame falls due if its pipeline started at `base` (on the pipeline clock).
    std::optional<std::chrono::steady_clock::time_point> dueTimeOf(GstSample* sample, std::uint64_t base);
    void storeFrame(GstSample* sample, std::optional<std::chrono::steady_clock::time_point> due);

    GstElement* m_bin = nullptr;
    GstElement* m_sink = nullptr;
    mutable std::mutex m_frameLock;
    std::optional<VideoFrame> m_frame;
    const void* m_lastBuffer = nullptr;
    std::atomic<int> m_orientation{0};
    std::atomic<bool> m_streamIdle{false};
    std::atomic<std::uint64_t> m_serial{0};
    std::function<void(const VideoFrame&)> m_frameListener;
    std::function<std::chrono::nanoseconds()> m_soundDelay;
    std::shared_ptr<std::atomic<bool>> m_holdPrerolled;
    // The prerolled frame held back; under the frame lock.
    GstSample* m_heldSample = nullptr;
};

#pragma once

#include "videoframe.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;

// A player's video sink: keeps the newest decoded frame, in the decoder's own format where it is one that
// VideoFrame carries, so that nothing is converted unless a consumer asks.
class VideoOutput
{
  public:
    VideoOutput();
    ~VideoOutput();
    VideoOutput(const VideoOutput&) = delete;
    VideoOutput& operator=(const VideoOutput&) = delete;

    GstElement* element() const { return m_bin; }
    std::optional<VideoFrame> currentFrame() const;
    // Forgets the frame and the orientation of the previous item; call with the pipeline stopped.
    void reset();

    void store(GstSample* sample);
    // Called on the streaming thread with each new frame after it is stored.
    void setFrameListener(std::function<void(const VideoFrame&)> listener) { m_frameListener = std::move(listener); }
    void setOrientation(const char* tag);
    // The video stream says it has no picture for now: it has ended before the sound (whose end the sink then waits
    // for, sent gaps meanwhile) or it marks a gap. The next frame, a seek or a new item ends that.
    bool streamIdle() const { return m_streamIdle; }
    void setStreamIdle(bool ended) { m_streamIdle = ended; }

  private:
    GstElement* m_bin = nullptr;
    mutable std::mutex m_frameLock;
    std::optional<VideoFrame> m_frame;
    const void* m_lastBuffer = nullptr;
    std::atomic<int> m_orientation{0};
    std::atomic<bool> m_streamIdle{false};
    std::atomic<std::uint64_t> m_serial{0};
    std::function<void(const VideoFrame&)> m_frameListener;
};

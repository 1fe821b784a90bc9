#pragma once

#include "framepacing.h"
#include "videoframe.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// The video frames of one item for one mesh renderer: the newest, and once the renderer's output paces them, the few
// that arrived ahead of their due time. The frame feed stores frames from any thread (the decoder's, for an output
// window) and the renderer reads them on its own; storing a frame asks the view for a redraw through the invalidate
// callback, and redraws nothing else.
class MeshFrames
{
  public:
    using Time = FramePacing::Time;

    // Takes a frame of the item (its player's generation, never shared with another player's item). A frame older
    // than the one held for the same item is dropped: a frame handed over at subscription may come after a newer one
    // from the decoder.
    void receive(const VideoFrame& frame, quint64 item);
    // The frame of that item to show: the newest, or once presentAt() was called, the one due by then. Null when
    // none came since the item began, or none is due yet.
    VideoFrame frameOf(quint64 item) const;
    // When the next draw reaches the screen.
    void presentAt(Time shownAt);
    // When a draw taking drawTime must start for the next waiting frame to reach the screen as it falls due; none
    // when no frame waits.
    std::optional<Time> nextDrawAt(quint64 item, std::chrono::nanoseconds drawTime) const;
    void setInvalidate(std::function<void()> invalidate);
    // A view that follows other frames: the ones it held stop calling it, and the new ones call invalidate.
    static void follow(std::shared_ptr<MeshFrames>& held, const std::shared_ptr<MeshFrames>& next,
                       std::function<void()> invalidate);

  private:
    std::vector<FramePacing::Due> dues() const;

    // So many frames ahead are more than any decoder hands over early: the oldest then goes.
    static constexpr std::size_t kMostFrames = 8;
    mutable std::mutex m_lock;
    // Oldest first; the ones before the frame shown are dropped as newer ones fall due.
    std::deque<VideoFrame> m_frames;
    quint64 m_item = 0;
    std::optional<Time> m_shownAt;
    std::function<void()> m_invalidate;
};

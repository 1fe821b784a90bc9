#pragma once

#include "videoframe.h"

#include <functional>
#include <mutex>

class Player;

// The newest video frame for one mesh renderer and the item it belongs to. The frame feed stores frames from any
// thread (the decoder's, for an output window) and the renderer reads them on its own; storing a frame asks the
// view for a redraw through the invalidate callback, and redraws nothing else.
class MeshFrames
{
  public:
    // Identifies a player's item across players, as MeshInputs::item does.
    static quint64 itemOf(const Player* player, quint64 generation);

    // A frame older than the one held for the same item is dropped: a frame handed over at subscription may come
    // after a newer one from the decoder.
    void receive(const VideoFrame& frame, quint64 item);
    // The newest frame of that item; null when none came since the item began.
    VideoFrame frameOf(quint64 item) const;
    void setInvalidate(std::function<void()> invalidate);

  private:
    mutable std::mutex m_lock;
    VideoFrame m_frame;
    quint64 m_item = 0;
    std::function<void()> m_invalidate;
};

#pragma once

#include "videoframe.h"

#include <functional>

// The latest video frame delivered to one mesh view. Storing a frame asks the view for a redraw through
// invalidate; it redraws nothing else.
class MeshFrames
{
  public:
    void receive(const VideoFrame& frame);
    void clearFrame();

    VideoFrame frame;
    std::function<void()> invalidate;
};

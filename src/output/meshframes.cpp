#include "meshframes.h"

void MeshFrames::receive(const VideoFrame& newFrame)
{
    frame = newFrame;
    if (invalidate) invalidate();
}

void MeshFrames::clearFrame()
{
    frame = VideoFrame();
}

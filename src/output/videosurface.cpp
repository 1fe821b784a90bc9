#include "videosurface.h"

#include "player.h"

void VideoSurface::showNewestFrame(const Player& player)
{
    const std::optional<VideoFrame> frame = player.currentFrame();
    if (!frame || frame->serial() == m_serial)
        return;
    m_serial = frame->serial();
    setImage(frame->toImage(m_targetSize));
}

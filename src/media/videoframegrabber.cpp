#include "videoframegrabber.h"

VideoFrameGrabber::VideoFrameGrabber(const QUrl& url) : m_url(url), m_probe(url, m_output.element(), false) {}

std::optional<QImage> VideoFrameGrabber::frameAt(double seconds, QSize maxSize)
{
    if (!m_opened)
        m_opened = m_probe.preroll();
    if (!*m_opened || !m_probe.seek(seconds))
        return std::nullopt;
    const std::optional<VideoFrame> frame = m_output.currentFrame();
    if (!frame)
        return std::nullopt;
    const QImage image = frame->toImage(maxSize);
    if (image.isNull())
        return std::nullopt;
    return image;
}

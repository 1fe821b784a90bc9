#include "mediaprobe.h"

#include "probepipeline.h"
#include "threadpoolfuture.h"
#include "videooutput.h"

#include <gst/gst.h>

std::optional<double> mediaDuration(const QUrl& url)
{
    ProbePipeline probe(url, nullptr, true);
    if (!probe.preroll())
        return std::nullopt;
    return probe.duration();
}

QFuture<std::optional<double>> mediaDurationAsync(const QUrl& url)
{
    return runInThreadPool<std::optional<double>>([url] { return mediaDuration(url); });
}

std::optional<QImage> videoFrameAt(const QUrl& url, double seconds, QSize maxSize)
{
    VideoOutput output;
    ProbePipeline probe(url, output.element(), false);
    if (!probe.preroll() || !probe.seek(seconds))
        return std::nullopt;
    const std::optional<VideoFrame> frame = output.currentFrame();
    if (!frame)
        return std::nullopt;
    const QImage image = frame->toImage(maxSize);
    if (image.isNull())
        return std::nullopt;
    return image;
}

QFuture<std::optional<QImage>> videoFrameAtAsync(const QUrl& url, double seconds, QSize maxSize)
{
    return runInThreadPool<std::optional<QImage>>([=] { return videoFrameAt(url, seconds, maxSize); });
}

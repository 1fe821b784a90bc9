#include "mediaprobe.h"

#include "probepipeline.h"
#include "threadpoolfuture.h"
#include "videoframegrabber.h"

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

std::optional<double> videoStart(const QUrl& url)
{
    return ProbePipeline(url, nullptr, false).firstFrameTime();
}

std::optional<QImage> videoFrameAt(const QUrl& url, double seconds, QSize maxSize)
{
    return VideoFrameGrabber(url).frameAt(seconds, maxSize);
}

QFuture<std::optional<QImage>> videoFrameAtAsync(const QUrl& url, double seconds, QSize maxSize)
{
    return runInThreadPool<std::optional<QImage>>([=] { return videoFrameAt(url, seconds, maxSize); });
}

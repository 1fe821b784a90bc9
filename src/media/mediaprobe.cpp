#include "mediaprobe.h"

#include "asidethreads.h"
#include "probepipeline.h"
#include "threadpoolfuture.h"
#include "videoframegrabber.h"

#include <gst/gst.h>

// A probe's answer is nobody's once the program ends, and a share that stopped answering may hold its read for good:
// the end does not wait for it. Counted from when it is queued.
template <typename T, typename Work> static QFuture<T> probeInThreadPool(Work work)
{
    return runInThreadPool<T>(
        [work = std::move(work), counted = std::make_shared<AsideThreads::Unwaited>()] { return work(); });
}

std::optional<double> mediaDuration(const QUrl& url)
{
    ProbePipeline probe(url, nullptr, true);
    if (!probe.preroll())
        return std::nullopt;
    return probe.duration();
}

QFuture<std::optional<double>> mediaDurationAsync(const QUrl& url)
{
    return probeInThreadPool<std::optional<double>>([url] { return mediaDuration(url); });
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
    return probeInThreadPool<std::optional<QImage>>([=] { return videoFrameAt(url, seconds, maxSize); });
}

#include "mediaprobe.h"

#include "probepipeline.h"
#include "videooutput.h"

#include <QPromise>
#include <QThreadPool>
#include <gst/gst.h>

namespace {

template <typename T, typename Work> QFuture<T> inThreadPool(Work work)
{
    auto promise = std::make_shared<QPromise<T>>();
    QFuture<T> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, work = std::move(work)] {
        promise->addResult(work());
        promise->finish();
    });
    return future;
}

} // namespace

std::optional<double> mediaDuration(const QUrl& url)
{
    ProbePipeline probe(url, nullptr, true);
    if (!probe.preroll())
        return std::nullopt;
    return probe.duration();
}

QFuture<std::optional<double>> mediaDurationAsync(const QUrl& url)
{
    return inThreadPool<std::optional<double>>([url] { return mediaDuration(url); });
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
    return inThreadPool<std::optional<QImage>>([=] { return videoFrameAt(url, seconds, maxSize); });
}

#include "assetthumbnails.h"

#include "asidethreads.h"
#include "mediafiles.h"
#include "mediaprobe.h"
#include "stillimage.h"
#include "videoframegrabber.h"

#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <functional>
#include <memory>

// Stills are read on a small pool of their own, so that a library of hundreds does not crowd out playback's work,
// and a share that stops answering holds these threads, never the ones the outputs draw with. It lives as long as
// the process: a read held by such a share is never waited for, not even when the panel closes.
static QThreadPool& stillReaders()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(2);
        return made;
    }();
    return *pool;
}

// A still read on that pool; the future holds it.
static QFuture<std::optional<QImage>> readStill(std::function<std::optional<QImage>()> read)
{
    auto promise = std::make_shared<QPromise<std::optional<QImage>>>();
    QFuture<std::optional<QImage>> future = promise->future();
    promise->start();
    // Counted from when it is queued, not from when it runs: a process ending meanwhile ends without tearing its
    // libraries down under it, and waits for it not at all.
    auto running = std::make_shared<AsideThreads::Unwaited>();
    stillReaders().start([promise, read = std::move(read), running]() mutable {
        promise->addResult(read());
        promise->finish();
        running.reset();
    });
    return future;
}

// A reduced picture.
static QFuture<std::optional<QImage>> pictureStill(const QString& path, int maxPixels)
{
    return readStill([path, maxPixels]() -> std::optional<QImage> {
        const QImage image = readStillThumbnail(path, maxPixels);
        return image.isNull() ? std::nullopt : std::optional<QImage>(image);
    });
}

// The frame at the start of a video, or, when the file holds no picture at 0 (its picture begins after its sound),
// the first frame of its picture, taken from the same open decoder.
static QFuture<std::optional<QImage>> videoStill(const QUrl& url, QSize maxSize)
{
    return readStill([url, maxSize]() -> std::optional<QImage> {
        VideoFrameGrabber grabber(url);
        if (std::optional<QImage> first = grabber.frameAt(0, maxSize))
            return first;
        const std::optional<double> start = videoStart(url);
        if (!start || *start <= 0)
            return std::nullopt;
        return grabber.frameAt(*start, maxSize);
    });
}

// A read still queued or under way when the thumbnails go finishes into a watcher that is gone.
AssetThumbnails::AssetThumbnails(MediaFiles& files, QObject* parent) : QObject(parent), m_files(files) {}

AssetThumbnails::~AssetThumbnails() = default;

std::optional<QImage> AssetThumbnails::still(const MediaAsset& asset)
{
    if (asset.kind == AssetKind::audio || !asset.url.isLocalFile())
        return std::nullopt;
    if (m_loading.contains(asset.url))
        return std::nullopt;
    // What the disk has said, never waited for: the panel repaints the row when the answer comes.
    const std::optional<FileAnswer> answer = m_files.known(asset.url, FileDepth::stamp);
    const auto stored = m_stills.constFind(asset.url);
    // A missing file may come back: it is asked again while it is shown, one question at a time.
    if (answer && !answer->stamp.exists)
        m_files.refresh({asset.url}, FileDepth::stamp);
    // A file that does not answer keeps the still it had, or its symbol.
    if (!answer)
        return stored != m_stills.cend() && !stored->image.isNull() ? std::optional(stored->image) : std::nullopt;
    const FileStamp stamp = answer->stamp;
    if (stored != m_stills.cend() && stored->stamp == stamp)
        return stored->image.isNull() ? std::nullopt : std::optional<QImage>(stored->image);
    m_loading.insert(asset.url);

    const QUrl url = asset.url;
    using Watcher = QFutureWatcher<std::optional<QImage>>;
    auto* watcher = new Watcher(this);
    connect(watcher, &Watcher::finished, this, [this, watcher, url, stamp] {
        store(url, watcher->result().value_or(QImage()), stamp);
        watcher->deleteLater();
    });
    watcher->setFuture(asset.kind == AssetKind::image ? pictureStill(url.toLocalFile(), kPictureMaxPixels)
                                                      : videoStill(url, kVideoMaxSize));
    return std::nullopt;
}

void AssetThumbnails::store(const QUrl& url, const QImage& image, const FileStamp& stamp)
{
    m_loading.remove(url);
    m_stills.insert(url, {image, stamp});
    emit loaded(url);
}

#include "assetthumbnails.h"

#include "mediafiles.h"
#include "mediaprobe.h"
#include "stillimage.h"
#include "threadpoolfuture.h"
#include "videoframegrabber.h"

#include <QFutureWatcher>
#include <QPromise>
#include <memory>

// A reduced picture decoded on the given pool.
static QFuture<std::optional<QImage>> pictureStill(QThreadPool& pool, const QString& path, int maxPixels)
{
    auto promise = std::make_shared<QPromise<std::optional<QImage>>>();
    QFuture<std::optional<QImage>> future = promise->future();
    promise->start();
    pool.start([promise, path, maxPixels] {
        const QImage image = readStillThumbnail(path, maxPixels);
        promise->addResult(image.isNull() ? std::nullopt : std::optional<QImage>(image));
        promise->finish();
    });
    return future;
}

// The frame at the start of a video, or, when the file holds no picture at 0 (its picture begins after its sound),
// the first frame of its picture, taken from the same open decoder.
static QFuture<std::optional<QImage>> videoStill(const QUrl& url, QSize maxSize)
{
    return runInThreadPool<std::optional<QImage>>([url, maxSize]() -> std::optional<QImage> {
        VideoFrameGrabber grabber(url);
        if (std::optional<QImage> first = grabber.frameAt(0, maxSize))
            return first;
        const std::optional<double> start = videoStart(url);
        if (!start || *start <= 0)
            return std::nullopt;
        return grabber.frameAt(*start, maxSize);
    });
}

AssetThumbnails::AssetThumbnails(MediaFiles& files, QObject* parent) : QObject(parent), m_files(files)
{
    m_pictureDecoders.setMaxThreadCount(2);
}

AssetThumbnails::~AssetThumbnails()
{
    // Pictures not yet started are dropped; the watchers go with this object, so late results go nowhere.
    m_pictureDecoders.clear();
    m_pictureDecoders.waitForDone();
}

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
    watcher->setFuture(asset.kind == AssetKind::image
                           ? pictureStill(m_pictureDecoders, url.toLocalFile(), kPictureMaxPixels)
                           : videoStill(url, kVideoMaxSize));
    return std::nullopt;
}

void AssetThumbnails::store(const QUrl& url, const QImage& image, const FileStamp& stamp)
{
    m_loading.remove(url);
    m_stills.insert(url, {image, stamp});
    emit loaded(url);
}

#include "stilldecoder.h"

#include "mediafile.h"
#include "stillimage.h"

#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>

namespace {

// Up to this many pixels a picture decodes in well under a millisecond.
constexpr qint64 kInlinePixels = 256 * 256;
// Two 8K pictures and a few 4K ones.
constexpr qint64 kSharedCacheBytes = qint64(512) << 20;

qint64 costOf(const QImage& image)
{
    return std::max<qint64>(image.sizeInBytes() / 1024, 1);
}

} // namespace

StillDecoder& StillDecoder::shared()
{
    static StillDecoder decoder(kSharedCacheBytes);
    return decoder;
}

StillDecoder::StillDecoder(qint64 cacheBytes, QObject* parent) : QObject(parent)
{
    m_cache.setMaxCost(std::max<qint64>(cacheBytes / 1024, 1));
    // Two at a time: enough for two screens that change at once, without starving the video decoders.
    m_workers.setMaxThreadCount(2);
}

StillDecoder::~StillDecoder()
{
    m_workers.clear();
    m_workers.waitForDone();
}

// A file changed on disk is a different picture.
QString StillDecoder::cacheKey(const QString& path) const
{
    const QFileInfo info(path);
    return path + QLatin1Char('\n') + QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n') +
           QString::number(info.size());
}

std::optional<QImage> StillDecoder::image(const QString& path)
{
    const QString key = cacheKey(path);
    if (!m_cache.contains(key))
        decode(path, key);
    if (const QImage* cached = m_cache.object(key))
        return *cached;
    return std::nullopt;
}

void StillDecoder::prepare(const QString& path)
{
    const QString key = cacheKey(path);
    if (!m_cache.contains(key))
        decode(path, key);
}

// A small picture, or a file whose size cannot be told, is read here and now; a large one on a worker.
void StillDecoder::decode(const QString& path, const QString& key)
{
    if (m_decoding.contains(key))
        return;
    // Not even the header of a FIFO or a device is read: that could wait for ever.
    const QSize size = isReadableFileAt(path) ? QImageReader(path).size() : QSize();
    if (!size.isValid() || qint64(size.width()) * size.height() <= kInlinePixels) {
        const QImage read = readStillImage(path);
        m_cache.insert(key, new QImage(read), costOf(read));
        return;
    }
    m_decoding.insert(key, path);
    // The destructor waits for the workers, so the decoder outlives every decode.
    m_workers.start([this, path, key] {
        const QImage read = readStillImage(path);
        QMetaObject::invokeMethod(
            this, [this, path, key, read] { finish(path, key, read); }, Qt::QueuedConnection);
    });
}

bool StillDecoder::isDecoding(const QString& path) const
{
    return m_decoding.contains(cacheKey(path));
}

void StillDecoder::finish(const QString& path, const QString& key, const QImage& image)
{
    m_decoding.remove(key);
    m_cache.insert(key, new QImage(image), costOf(image));
    emit decoded(path, image);
}

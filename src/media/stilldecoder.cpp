#include "stilldecoder.h"

#include "lookaside.h"
#include "mediafile.h"
#include "stillimage.h"

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

StillDecoder::StillDecoder(qint64 cacheBytes, qint64 maxStillBytes, QObject* parent)
    : QObject(parent), m_maxStillBytes(maxStillBytes)
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

// A file changed on disk is a different picture. None when the file's folder does not answer in time.
std::optional<QString> StillDecoder::cacheKey(const QString& path) const
{
    const std::optional<FileStamp> stamp = lookWithin<FileStamp>([path] { return fileStampAt(path); });
    if (!stamp)
        return std::nullopt;
    return path + QLatin1Char('\n') + QString::number(stamp->modified) + QLatin1Char('\n') +
           QString::number(stamp->size);
}

std::optional<QImage> StillDecoder::image(const QString& path)
{
    const std::optional<QString> key = cacheKey(path);
    // A file that does not answer cannot be shown now.
    if (!key || (!holds(*key) && !decode(path, *key)))
        return QImage();
    if (const QImage* cached = m_cache.object(*key))
        return *cached;
    if (m_largest && m_largest->first == *key)
        return m_largest->second;
    return std::nullopt;
}

void StillDecoder::prepare(const QString& path)
{
    const std::optional<QString> key = cacheKey(path);
    if (key && !holds(*key))
        decode(path, *key);
}

bool StillDecoder::holds(const QString& key) const
{
    return m_cache.contains(key) || (m_largest && m_largest->first == key);
}

// A still larger than the whole cache is kept on its own until the next such still, so that a decode made ahead of
// its showing is not thrown away at once.
void StillDecoder::keep(const QString& key, const QImage& image)
{
    const qint64 cost = costOf(image);
    if (cost <= m_cache.maxCost()) {
        m_cache.insert(key, new QImage(image), cost);
        return;
    }
    m_largest.emplace(key, image);
}

namespace {

// A small picture read at once, or none for a large one.
struct InlineRead
{
    bool small = true;
    QImage image;
};

} // namespace

// A small picture, or a file whose size cannot be told, is read at once; a large one on a worker. Both are read
// aside from this thread: false when the file's folder does not answer in time.
bool StillDecoder::decode(const QString& path, const QString& key)
{
    if (m_decoding.contains(key))
        return true;
    const std::optional<InlineRead> read = lookWithin<InlineRead>([path, maxBytes = m_maxStillBytes] {
        // Not even the header of a FIFO or a device is read: that could wait for ever.
        const QSize size = isReadableFileAt(path) ? QImageReader(path).size() : QSize();
        if (!size.isValid() || qint64(size.width()) * size.height() <= kInlinePixels)
            return InlineRead{true, readStillImage(path, maxBytes)};
        return InlineRead{false, {}};
    });
    if (!read)
        return false;
    if (read->small) {
        keep(key, read->image);
        return true;
    }
    m_decoding.insert(key, path);
    // The destructor waits for the workers, so the decoder outlives every decode.
    m_workers.start([this, path, key, maxBytes = m_maxStillBytes] {
        const QImage decoded = readStillImage(path, maxBytes);
        QMetaObject::invokeMethod(
            this, [this, path, key, decoded] { finish(path, key, decoded); }, Qt::QueuedConnection);
    });
    return true;
}

bool StillDecoder::isDecoding(const QString& path) const
{
    const std::optional<QString> key = cacheKey(path);
    return key && m_decoding.contains(*key);
}

void StillDecoder::finish(const QString& path, const QString& key, const QImage& image)
{
    m_decoding.remove(key);
    keep(key, image);
    emit decoded(path, image);
}

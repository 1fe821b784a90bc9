#include "stilldecoder.h"

#include "asidethreads.h"
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

QString cacheKey(const QString& path, const FileStamp& stamp)
{
    return path + QLatin1Char('\n') + QString::number(stamp.modified) + QLatin1Char('\n') + QString::number(stamp.size);
}

} // namespace

// What a look at a file found: its cache key, and a small picture read at once.
struct StillDecoder::Look
{
    QString key;
    // The file is as it was when its picture was kept.
    bool unchanged = false;
    // A small picture, or a file whose size cannot be told, is read by the look; a large one is not.
    bool read = false;
    QImage image;
};

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

std::optional<QImage> StillDecoder::image(const QString& path)
{
    const std::optional<QImage> at = held(path);
    // A file whose look cannot start cannot be shown now.
    if (!look(path) && !at)
        return QImage();
    return at;
}

void StillDecoder::prepare(const QString& path)
{
    look(path);
}

std::optional<QImage> StillDecoder::held(const QString& path) const
{
    const auto key = m_keys.constFind(path);
    if (key == m_keys.cend())
        return std::nullopt;
    if (const QImage* cached = m_cache.object(*key))
        return *cached;
    if (m_largest && m_largest->first == *key)
        return m_largest->second;
    return std::nullopt;
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

// One look at a time per file, and none while the picture its last look found decodes: decoded() follows that
// decode, and a look asked meanwhile would only ask the file's folder again. False when no thread could be started.
bool StillDecoder::look(const QString& path)
{
    if (m_looking.contains(path))
        return true;
    if (const auto key = m_keys.constFind(path); key != m_keys.cend() && m_decoding.contains(*key))
        return true;
    const QString heldKey = held(path) ? m_keys.value(path) : QString();
    const bool started = m_replies.ask<Look>(
        [path, heldKey, maxBytes = m_maxStillBytes, beforeLook = m_beforeLook] {
            if (beforeLook)
                beforeLook(path);
            Look look;
            look.key = cacheKey(path, fileStampAt(path));
            look.unchanged = look.key == heldKey;
            if (look.unchanged)
                return look;
            // Not even the header of a FIFO or a device is read: that could wait for ever.
            const QSize size = isReadableFileAt(path) ? QImageReader(path).size() : QSize();
            look.read = !size.isValid() || qint64(size.width()) * size.height() <= kInlinePixels;
            if (look.read)
                look.image = readStillImage(path, maxBytes);
            return look;
        },
        [this, path](const Look& look) { lookEnded(path, look); });
    if (started)
        m_looking.insert(path);
    return started;
}

void StillDecoder::lookEnded(const QString& path, const Look& look)
{
    m_looking.remove(path);
    m_keys.insert(path, look.key);
    take(path, look);
    emit looked(path);
}

void StillDecoder::take(const QString& path, const Look& look)
{
    if (look.unchanged && holds(look.key))
        return;
    if (look.read) {
        keep(look.key, look.image);
        emit decoded(path, look.image);
        return;
    }
    // Kept meanwhile by a decode for another look, or a file held before that changed back.
    if (holds(look.key)) {
        emit decoded(path, *held(path));
        return;
    }
    if (m_decoding.contains(look.key))
        return;
    m_decoding.insert(look.key, path);
    // The destructor waits for the workers, so the decoder outlives every decode. The program's end does not wait
    // for one: a decode held by a share that stopped answering ends the process without tearing the decoder down.
    auto counted = std::make_shared<AsideThreads::Unwaited>();
    m_workers.start([this, path, key = look.key, maxBytes = m_maxStillBytes, counted] {
        const QImage decoded = readStillImage(path, maxBytes);
        QMetaObject::invokeMethod(
            this, [this, path, key, decoded] { finish(path, key, decoded); }, Qt::QueuedConnection);
    });
}

bool StillDecoder::isDecoding(const QString& path) const
{
    if (held(path))
        return false;
    return m_looking.contains(path) || m_decoding.contains(m_keys.value(path));
}

void StillDecoder::finish(const QString& path, const QString& key, const QImage& image)
{
    m_decoding.remove(key);
    keep(key, image);
    emit decoded(path, image);
}

#pragma once

#include "stillimage.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <optional>
#include <utility>

// Decodes still pictures on worker threads and keeps the recent ones, so that showing a still never waits on the
// main thread for its decode: a large PNG takes a good part of a second. Small files are read at once, on a thread
// of their own that the caller waits for briefly, as the file's folder may stop answering. Lives on the main thread.
class StillDecoder : public QObject
{
    Q_OBJECT
  public:
    // The one decoder the pictures share.
    static StillDecoder& shared();

    // maxStillBytes: the most memory one decoded still may take (see stillRefusal).
    explicit StillDecoder(qint64 cacheBytes, qint64 maxStillBytes = kMaxStillBytes, QObject* parent = nullptr);
    ~StillDecoder() override;

    // The picture in the file when it is at hand: decoded before, or small. Null when the file is not a picture it
    // can read or does not answer in time. Otherwise none, and the decode starts (once); decoded() follows.
    std::optional<QImage> image(const QString& path);
    // Starts decoding a file that is about to be shown.
    void prepare(const QString& path);
    // Whether the decode of the file is under way.
    bool isDecoding(const QString& path) const;

  signals:
    // A decode ended; the image is null when the file could not be read as a picture.
    void decoded(const QString& path, const QImage& image);

  private:
    std::optional<QString> cacheKey(const QString& path) const;
    bool holds(const QString& key) const;
    void keep(const QString& key, const QImage& image);
    bool decode(const QString& path, const QString& key);
    void finish(const QString& path, const QString& key, const QImage& image);

    const qint64 m_maxStillBytes;
    QCache<QString, QImage> m_cache;
    // The last still too large for the cache, by cache key.
    std::optional<std::pair<QString, QImage>> m_largest;
    // Decodes under way, by cache key, with the path they were asked for.
    QHash<QString, QString> m_decoding;
    // Last, so that it is destroyed first: that waits for the decodes under way.
    QThreadPool m_workers;
};

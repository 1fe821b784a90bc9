#pragma once

#include "lookreplies.h"
#include "stillimage.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <optional>
#include <utility>

// Decodes still pictures aside from the main thread and keeps the recent ones, so that showing a still never waits
// there for its file or its decode: a large PNG takes a good part of a second, and the file's folder may stop
// answering altogether. A file is looked at (its stamp, and a small picture read at once) on a thread of its own,
// which a stalled folder holds for as long as it does not answer; a large picture then decodes on a worker. Lives on
// the main thread.
class StillDecoder : public QObject
{
    Q_OBJECT
  public:
    // The one decoder the pictures share.
    static StillDecoder& shared();

    // maxStillBytes: the most memory one decoded still may take (see stillRefusal).
    explicit StillDecoder(qint64 cacheBytes, qint64 maxStillBytes = kMaxStillBytes, QObject* parent = nullptr);
    ~StillDecoder() override;

    // The picture in the file when it is at hand, decoded before: at once, while the file is looked at again aside
    // so that a picture changed on disk is read anew. Null when no look at the file could be started. Otherwise
    // none, and the look starts (once, and not while the picture decodes); decoded() follows, with a null image for
    // a file that is no readable picture.
    std::optional<QImage> image(const QString& path);
    // Starts reading a file that is about to be shown.
    void prepare(const QString& path);
    // Whether the file is being looked at or decoded with no picture of it at hand.
    bool isDecoding(const QString& path) const;
    // Whether the file is being looked at with no picture of it at hand: whether it reads at all, and at once or on
    // a worker, is not known yet. looked() follows.
    bool isLooking(const QString& path) const { return m_looking.contains(path) && !held(path); }

    // Runs on the look's thread before each look at a file, as a folder that stops answering would hold it.
    using BeforeLook = std::function<void(const QString& path)>;
    void setBeforeLook(BeforeLook beforeLook) { m_beforeLook = std::move(beforeLook); }

  signals:
    // A decode ended; the image is null when the file could not be read as a picture.
    void decoded(const QString& path, const QImage& image);
    // A look at the file ended: its picture is at hand (decoded() came first) or decodes on a worker.
    void looked(const QString& path);

  private:
    struct Look;
    std::optional<QImage> held(const QString& path) const;
    bool holds(const QString& key) const;
    bool look(const QString& path);
    void lookEnded(const QString& path, const Look& look);
    void take(const QString& path, const Look& look);
    void keep(const QString& key, const QImage& image);
    void finish(const QString& path, const QString& key, const QImage& image);

    const qint64 m_maxStillBytes;
    QCache<QString, QImage> m_cache;
    // The last still too large for the cache, by cache key.
    std::optional<std::pair<QString, QImage>> m_largest;
    // The cache key of each file as last looked at: a file changed on disk is a different picture.
    QHash<QString, QString> m_keys;
    // Files being looked at.
    QSet<QString> m_looking;
    // Decodes under way, by cache key, with the path they were asked for.
    QHash<QString, QString> m_decoding;
    BeforeLook m_beforeLook;
    LookReplies m_replies{this};
    // Last, so that it is destroyed first: that waits for the decodes under way.
    QThreadPool m_workers;
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

// The replies waiting for Bluetooth phones (centrals). A phone writes one request into the request characteristic
// and then reads its reply from the reply characteristic chunk by chunk, each chunk led by a flag byte that is 1
// while more follows. The store keeps the reading position itself, so a read must not ask for an offset. A
// one-byte probe (0x00) asks whether a reply waits. Pure: time is passed in, requests are answered by a callback.
class RemoteReplyStore
{
  public:
    // Answers as the attribute protocol names them.
    enum class Result { success, readNotPermitted, requestNotSupported, invalidOffset };
    enum class Characteristic { request, reply };

    struct Read
    {
        Result result = Result::readNotPermitted;
        QByteArray value;
    };

    using Dispatch = std::function<QByteArray(const QByteArray& request)>;

    static constexpr int kMostRequestBytes = 4096;
    static constexpr int kMostReplies = 16;
    static constexpr int kMostChunk = 180;
    // A reply nobody reads for this long is dropped, so a phone that walks away does not hold a place.
    static constexpr double kUnreadLifetime = 10;

    // One write of a central; dispatch runs only for a request (not for a probe or a refused write).
    Result write(const QString& central, Characteristic characteristic, int offset, const QByteArray& value, double now,
                 const Dispatch& dispatch);
    // One read of a central whose connection carries updates of at most maximumUpdateLength bytes.
    Read read(const QString& central, Characteristic characteristic, int offset, int maximumUpdateLength, double now);

    // Bluetooth went away or the remote stopped.
    void clear() { m_replies.clear(); }
    int size() const { return int(m_replies.size()); }
    bool waiting(const QString& central) const { return m_replies.contains(central); }

    // Payload bytes in one read for a connection's update length: one byte goes to the flag.
    static int chunkLength(int maximumUpdateLength);

  private:
    struct Entry
    {
        QByteArray data;
        qsizetype offset = 0;
        // When it was stored, for eviction, and when it was last touched, for expiry.
        double stored = 0;
        double touched = 0;
    };
    void dropUnread(double now);
    void evictOldest();

    QHash<QString, Entry> m_replies;
};

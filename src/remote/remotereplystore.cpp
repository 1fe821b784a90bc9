#include "remotereplystore.h"

#include <algorithm>

using Result = RemoteReplyStore::Result;

int RemoteReplyStore::chunkLength(int maximumUpdateLength)
{
    return std::clamp(maximumUpdateLength - 1, 1, kMostChunk);
}

Result RemoteReplyStore::write(const QString& central, Characteristic characteristic, int offset,
                               const QByteArray& value, double now, const Dispatch& dispatch)
{
    if (characteristic != Characteristic::request || offset != 0 || value.isEmpty() || value.size() > kMostRequestBytes)
        return Result::requestNotSupported;
    dropUnread(now);
    if (value.size() == 1 && value.at(0) == '\0')
        return waiting(central) ? Result::success : Result::readNotPermitted;
    // A newcomer takes the place of the oldest waiting reply; the other phones keep theirs.
    if (!waiting(central) && m_replies.size() >= kMostReplies)
        evictOldest();
    const QByteArray reply = dispatch(value);
    m_replies.insert(central, Entry{reply, 0, now, now});
    return Result::success;
}

RemoteReplyStore::Read RemoteReplyStore::read(const QString& central, Characteristic characteristic, int offset,
                                              int maximumUpdateLength, double now)
{
    dropUnread(now);
    const auto entry = m_replies.find(central);
    if (characteristic != Characteristic::reply || entry == m_replies.end())
        return {Result::readNotPermitted, {}};
    if (offset != 0)
        return {Result::invalidOffset, {}};
    const qsizetype end = std::min(entry->offset + chunkLength(maximumUpdateLength), entry->data.size());
    const bool more = end < entry->data.size();
    Read read{Result::success, QByteArray(1, more ? '\1' : '\0')};
    read.value += entry->data.mid(entry->offset, end - entry->offset);
    if (more) {
        entry->offset = end;
        entry->touched = now;
    } else {
        m_replies.erase(entry);
    }
    return read;
}

void RemoteReplyStore::dropUnread(double now)
{
    m_replies.removeIf([now](const auto& entry) { return now - entry.value().touched >= kUnreadLifetime; });
}

void RemoteReplyStore::evictOldest()
{
    const auto oldest = std::min_element(m_replies.begin(), m_replies.end(),
                                         [](const Entry& a, const Entry& b) { return a.stored < b.stored; });
    if (oldest != m_replies.end())
        m_replies.erase(oldest);
}

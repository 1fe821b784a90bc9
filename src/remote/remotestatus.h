#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

// The reply to a phone. An empty status is the base of every reply; a refusal sets only "error", a pairing answer
// only "pairing", and an accepted action fills the rest from the engine.
struct RemoteStatus
{
    // One cue as a phone lists it.
    struct Entry
    {
        QUuid id;
        QString name;
        bool operator==(const Entry&) const = default;
    };

    std::optional<QString> error;
    // "approved", "denied", "pending" or "expired".
    std::optional<QString> pairing;
    QList<Entry> cues;
    std::optional<QUuid> current;
    std::optional<QUuid> next;
    bool paused = false;
    bool blackout = false;
    bool muted = false;
    bool projecting = false;
    QString message;

    // Compact UTF-8 JSON without a single raw line feed, absent fields left out.
    QByteArray encode() const;
    static std::optional<RemoteStatus> decode(const QByteArray& bytes);

    bool operator==(const RemoteStatus&) const = default;
};

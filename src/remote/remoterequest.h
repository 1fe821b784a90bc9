#pragma once

#include "remoteaction.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <optional>

// One request from a phone. Decoding is strict: anything but an object with exactly typed values is refused whole,
// so a half-understood request never reaches the engine.
struct RemoteRequest
{
    // The connection code, an approved phone's device id, or (to pair) the phone's own device id.
    QString code;
    RemoteAction action = RemoteAction::status;
    std::optional<QUuid> cue;
    std::optional<bool> value;
    std::optional<QString> deviceName;
    std::optional<RemotePlaybackMode> playbackMode;

    static std::optional<RemoteRequest> decode(const QByteArray& bytes);
    // Compact JSON, as a phone sends it.
    QByteArray encode() const;

    bool operator==(const RemoteRequest&) const = default;
};

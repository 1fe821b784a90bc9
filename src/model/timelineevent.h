#pragma once

#include "enums.h"
#include "mediaasset.h"
#include "newuuid.h"
#include "screenrole.h"

#include <QByteArray>
#include <QString>
#include <QUuid>
#include <optional>

// One event of a cue's timeline: a media clip or a communication event. Every event carries all fields.
struct TimelineEvent
{
    QUuid id = newUuid();
    double time = 0;
    Track track = Track::main;
    std::optional<QUuid> assetID;
    std::optional<ScreenRole> outputScreen;
    bool videoAudio = false;
    std::optional<bool> videoMuted;
    std::optional<qint64> layer;
    std::optional<double> imageDuration;
    Transport transport = Transport::udp;
    QString host;
    qint64 port = 0;
    QString payload;
    bool hex = false;
    QString oscAddress;

    bool operator==(const TimelineEvent&) const = default;

    // Length of the clip for its asset, or none when open-ended.
    std::optional<double> clipDuration(const MediaAsset& asset) const;
    // The output screen of a screen clip; none for other tracks.
    std::optional<ScreenRole> screen() const;
    // Layer as lanes count it: absent and anything below 1 are layer 1.
    qint64 effectiveLayer() const;
    // The bytes a communication event sends, or none when the fields cannot make a message.
    std::optional<QByteArray> data() const;
    bool validMessage() const;
};

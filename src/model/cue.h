#pragma once

#include "enums.h"
#include "lighting.h"
#include "newuuid.h"
#include "timelineevent.h"
#include "timelinelane.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

// One programme of the show.
struct Cue
{
    QUuid id = newUuid();
    QString name = QStringLiteral("新 Cue");
    std::optional<QUrl> main;
    std::optional<QUrl> side;
    bool sideMirrorsMain = false;
    std::optional<QUrl> audio;
    Bus audioBus = Bus::music;
    bool videoAudio = false;
    std::optional<bool> videoMuted;
    EndBehavior ending = EndBehavior::hold;
    double delay = 0;
    std::optional<Lighting> lighting;
    std::optional<QList<TimelineEvent>> timeline;
    std::optional<QList<TimelineLane>> extraLanes;
    std::optional<QList<TimelineLane>> hiddenDefaultLanes;

    bool operator==(const Cue&) const = default;

    // A timeline cue has a present, non-empty timeline; every other cue plays its files directly.
    bool isTimelineCue() const { return timeline && !timeline->isEmpty(); }
    // The direct media files (main, side unless mirrored, audio) that cannot be read, in that order.
    QList<QUrl> missingFiles() const;
    // The same, asking the given function whether a file can be read.
    QList<QUrl> missingFiles(const std::function<bool(const QUrl&)>& isReadable) const;
};

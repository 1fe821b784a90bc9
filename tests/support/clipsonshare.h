#pragma once

#include "mediafixtures.h"
#include "show.h"
#include "stallablemount.h"
#include "timelineevent.h"

#include <QFile>

// A cue's worth of one-second video clips copied onto a share, one library entry and one main-screen clip each,
// half a second apart.
struct ClipsOnShare
{
    QList<MediaAsset> assets;
    QList<TimelineEvent> events;
};

inline ClipsOnShare clipsOnShare(const StallableMount& share, int count)
{
    const QString video = MediaFixtures::video({.seconds = 1});
    ClipsOnShare made;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("clip%1.mp4").arg(i);
        QFile::copy(video, share.backing() + "/" + name);
        MediaAsset asset;
        asset.url = QUrl::fromLocalFile(share.mount() + "/" + name);
        asset.kind = AssetKind::video;
        made.assets.append(asset);
        TimelineEvent clip;
        clip.time = i * 0.5;
        clip.track = Track::main;
        clip.assetID = asset.id;
        made.events.append(clip);
    }
    return made;
}

// The default show whose first cue plays that many clips from the share.
inline Show showOfClipsOnShare(const StallableMount& share, int count)
{
    const ClipsOnShare clips = clipsOnShare(share, count);
    Show show = Show::makeDefault();
    show.assets = clips.assets;
    show.cues[0].timeline = clips.events;
    return show;
}

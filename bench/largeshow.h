#pragma once

#include "show.h"

// A large show for benchmarks: cueCount cues sharing eventCount timeline events (screen clips, music, effects and
// messages in turn) that refer to assetCount library assets, plus a mapping per screen.
inline Show makeLargeShow(int cueCount = 1000, int eventCount = 20000, int assetCount = 200)
{
    Show show;
    show.artNetHost = QStringLiteral("10.0.0.50");
    show.universe = 1;

    QList<MediaAsset> assets;
    for (int i = 0; i < assetCount; ++i) {
        MediaAsset asset;
        const AssetKind kind = i % 3 == 0 ? AssetKind::audio : (i % 3 == 1 ? AssetKind::video : AssetKind::image);
        const QString extension = kind == AssetKind::audio ? "wav" : (kind == AssetKind::video ? "mp4" : "png");
        asset.url = QUrl::fromLocalFile(QStringLiteral("/srv/演出素材/片段 %1.%2").arg(i).arg(extension));
        asset.kind = kind;
        if (kind != AssetKind::image)
            asset.duration = 30.0 + i * 0.5;
        assets.append(asset);
    }
    show.assets = assets;

    for (int c = 0; c < cueCount; ++c) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场").arg(c + 1);
        cue.delay = (c % 5) * 0.5;
        cue.ending = c % 2 ? EndBehavior::next : EndBehavior::hold;
        if (c % 10 == 0)
            cue.lighting = Lighting{c % 512 + 1, 255, 2.0};
        cue.timeline = QList<TimelineEvent>();
        cue.extraLanes = QList<TimelineLane>{{Track::effects, 2, std::nullopt}};
        show.cues.append(cue);
    }

    const Track tracks[] = {Track::main, Track::side, Track::music, Track::effects, Track::message};
    for (int e = 0; e < eventCount && cueCount > 0; ++e) {
        TimelineEvent event;
        event.time = (e / cueCount) * 1.5 + 0.25;
        event.track = tracks[e % 5];
        if (event.track == Track::message) {
            event.transport = e % 2 ? Transport::osc : Transport::udp;
            event.host = QStringLiteral("192.168.10.%1").arg(e % 250 + 1);
            event.port = 9000;
            event.payload = QStringLiteral("scene %1 go").arg(e);
            event.oscAddress = QStringLiteral("/show/cue");
        } else if (assetCount > 0) {
            event.assetID = assets[e % assetCount].id;
            event.layer = e % 3 + 1;
            event.imageDuration = 5;
        }
        show.cues[e % cueCount].timeline->append(event);
    }

    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.meshRows = 5;
    mapping.meshColumns = 5;
    QList<QPointF> mesh;
    for (int i = 0; i < 25; ++i)
        mesh.append(QPointF((i % 5) / 4.0, (i / 5) / 4.0));
    mapping.mesh = mesh;
    show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
    show.projectorMappings =
        QMap<QString, ProjectorMapping>{{kScreen1.rawValue, mapping}, {kScreen2.rawValue, mapping}};
    return show;
}

// The library of the given files (sounds by their ending, the rest pictures), and a hundred cues whose clips use every
// one of them; the last cue's clip names no file, so the check ends with a finding instead of a run.
inline Show libraryShow(const QList<QUrl>& files)
{
    Show show = Show::makeDefault();
    show.cues.clear();
    QList<MediaAsset> assets;
    assets.reserve(files.size());
    for (const QUrl& url : files) {
        MediaAsset asset;
        asset.url = url;
        asset.kind = url.path().endsWith(QStringLiteral(".wav")) ? AssetKind::audio : AssetKind::image;
        assets.append(asset);
    }
    show.assets = assets;
    constexpr int kCues = 100;
    for (int c = 0; c < kCues; ++c) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场").arg(c + 1);
        cue.timeline = QList<TimelineEvent>();
        show.cues.append(cue);
    }
    for (qsizetype i = 0; i < assets.size(); ++i) {
        TimelineEvent clip;
        clip.track = assets[i].kind == AssetKind::audio ? Track::music : Track::main;
        clip.time = double(i / kCues) * 5;
        clip.imageDuration = 5;
        clip.assetID = assets[i].id;
        show.cues[i % kCues].timeline->append(clip);
    }
    TimelineEvent broken;
    broken.track = Track::main;
    broken.time = 0;
    show.cues.last().timeline->append(broken);
    return show;
}

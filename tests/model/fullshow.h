#pragma once

#include "show.h"

// A show in which every field of every record is set (and every optional present), with fixed identities so that
// its pretty form can be compared byte for byte with tests/data/full-show.json.
inline Show fullShow()
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.source = kScreen1;
    mapping.crop = QRectF(0.1, 0.2, 0.7, 0.6);
    mapping.corners = {{0.05, 0}, {1, 0.02}, {0.98, 1}, {0, 0.97}};
    mapping.edges = {0.1, 0, 0.25, 0};
    mapping.gamma = 2.2;
    mapping.mesh = QList<QPointF>{{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    mapping.meshRows = 2;
    mapping.meshColumns = 2;
    mapping.meshHandles =
        QMap<QString, CurveHandles>{{"0", {QPointF(0.1, 0), QPointF(-0.1, 0), std::nullopt, {}}},
                                    {"3", {std::nullopt, std::nullopt, QPointF(0, -0.5), QPointF(0, 0.5)}}};
    mapping.polygonMask = QList<QPointF>{{0.1, 0.1}, {0.9, 0.1}, {0.5, 0.9}};
    mapping.blackLevel = 0.05;

    MediaAsset video;
    video.id = QUuid("{6f1e2d3c-4b5a-4978-8a6b-5c4d3e2f1a0b}");
    video.url = QUrl::fromLocalFile(QStringLiteral("/shows/开场 片头.mov"));
    video.kind = AssetKind::video;
    video.duration = 12.5;
    MediaAsset picture;
    picture.id = QUuid("{0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d}");
    picture.url = QUrl::fromLocalFile(QStringLiteral("/shows/logo.png"));
    picture.kind = AssetKind::image;

    TimelineEvent clip;
    clip.id = QUuid("{11111111-2222-4333-8444-555555555555}");
    clip.time = 1.25;
    clip.track = Track::side;
    clip.assetID = video.id;
    clip.outputScreen = kScreen2;
    clip.videoAudio = true;
    clip.videoMuted = false;
    clip.layer = 2;
    clip.imageDuration = 4;
    TimelineEvent message;
    message.id = QUuid("{aaaaaaaa-bbbb-4ccc-8ddd-eeeeeeeeeeee}");
    message.time = 3.5;
    message.track = Track::message;
    message.transport = Transport::osc;
    message.host = QStringLiteral("192.168.1.20");
    message.port = 8000;
    message.payload = QStringLiteral("go 1");
    message.hex = false;
    message.oscAddress = QStringLiteral("/cue/go");

    Cue direct;
    direct.id = QUuid("{01234567-89ab-4cde-8f01-23456789abcd}");
    direct.name = QStringLiteral("暖场");
    direct.main = QUrl::fromLocalFile(QStringLiteral("/shows/暖场.mp4"));
    direct.side = QUrl::fromLocalFile(QStringLiteral("/shows/side #2.png"));
    direct.sideMirrorsMain = true;
    direct.audio = QUrl::fromLocalFile(QStringLiteral("/shows/music.m4a"));
    direct.audioBus = Bus::effects;
    direct.videoAudio = true;
    direct.videoMuted = true;
    direct.ending = EndBehavior::next;
    direct.delay = 2.5;
    direct.lighting = Lighting{12, 255, 1.5};
    direct.timeline = QList<TimelineEvent>{};
    direct.extraLanes = QList<TimelineLane>{{Track::music, 2, std::nullopt}};
    direct.hiddenDefaultLanes = QList<TimelineLane>{{Track::main, 1, kScreen1}};

    Cue timeline;
    timeline.id = QUuid("{fedcba98-7654-4321-8fed-cba987654321}");
    timeline.name = QStringLiteral("开场");
    timeline.ending = EndBehavior::loop;
    timeline.timeline = QList<TimelineEvent>{clip, message};

    Show show;
    show.cues = {direct, timeline};
    show.artNetHost = QStringLiteral("10.0.0.5");
    show.universe = 3;
    show.assets = QList<MediaAsset>{video, picture};
    show.defaultPicture = QUrl::fromLocalFile(QStringLiteral("/shows/standby.jpg"));
    show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2, ScreenRole{QStringLiteral("屏幕 3")}};
    show.projectorMappings = QMap<QString, ProjectorMapping>{{QStringLiteral("屏幕 2"), mapping},
                                                             {QStringLiteral("屏幕 3"), ProjectorMapping()}};
    show.displayBindings = QMap<QString, QString>{{QStringLiteral("屏幕 2"), QStringLiteral("4C4C4544-0042-3510")}};
    return show;
}

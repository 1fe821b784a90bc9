#pragma once

#include "enginefixture.h"
#include "eventwait.h"
#include "mediafixtures.h"
#include "picture.h"

#include <QColor>

// A main engine on fake players and a clock the test moves, with helpers to script shows of generated stills and
// stand-in videos.
class PlaybackTest : public EngineTest
{
  protected:
    // A file named like a video; fake players never read it, the preflight check only wants it to exist.
    static QUrl videoFile(const QString& name) { return QUrl::fromLocalFile(MediaFixtures::file(name, "video")); }
    static QUrl audioFile(const QString& name) { return QUrl::fromLocalFile(MediaFixtures::file(name, "audio")); }
    static QUrl stillFile(QColor color) { return QUrl::fromLocalFile(MediaFixtures::png({16, 16}, color)); }

    // Adds an asset to the show's library.
    MediaAsset addAsset(const QUrl& url, AssetKind kind, std::optional<double> duration = std::nullopt)
    {
        MediaAsset asset;
        asset.url = url;
        asset.kind = kind;
        asset.duration = duration;
        edit([&](Show& show) {
            QList<MediaAsset> assets = show.assets.value_or(QList<MediaAsset>{});
            assets.append(asset);
            show.assets = assets;
        });
        return asset;
    }
    static TimelineEvent clip(const MediaAsset& asset, double time, Track track = Track::main, qint64 layer = 1)
    {
        TimelineEvent event;
        event.time = time;
        event.track = track;
        event.assetID = asset.id;
        event.layer = layer;
        return event;
    }
    static TimelineEvent udpMessage(double time, quint16 port, const QString& payload)
    {
        TimelineEvent event;
        event.time = time;
        event.track = Track::message;
        event.host = QStringLiteral("127.0.0.1");
        event.port = port;
        event.payload = payload;
        return event;
    }
    // The first cue plays a video on the first screen and a sound on the music bus.
    const QUrl video = videoFile(QStringLiteral("main.mp4"));
    const QUrl music = audioFile(QStringLiteral("music.wav"));
    void giveVideoAndMusic(EndBehavior ending = EndBehavior::hold)
    {
        edit([&](Show& show) {
            show.cues[0].main = video;
            show.cues[0].audio = music;
            show.cues[0].ending = ending;
        });
    }

    void setTimeline(int cue, const QList<TimelineEvent>& events)
    {
        edit([&](Show& show) { show.cues[cue].timeline = events; });
    }
    Cue cue(int index) const { return engine->show().cues.at(index); }

    // Moves the show's clock to this many seconds after the cue on air started, then lets a timeline step run.
    void advanceTo(double seconds)
    {
        clock->now = started + seconds;
        runEvents(40);
    }
    void takeCue(int index, std::optional<RemotePlaybackMode> remoteMode = std::nullopt)
    {
        started = clock->now;
        engine->take(cue(index), false, remoteMode);
        runEvents(20);
    }

    // The newest live player that holds this file.
    FakePlayer* playerOf(const QUrl& url) const
    {
        for (qsizetype i = players.size() - 1; i >= 0; --i)
            if (players[i] && players[i]->url() == url)
                return players[i];
        return nullptr;
    }
    int playersHolding(const QUrl& url) const
    {
        return int(std::count_if(players.cbegin(), players.cend(),
                                 [&](const QPointer<FakePlayer>& player) { return player && player->url() == url; }));
    }
    Picture* shown(const ScreenRole& role = kScreen1) const { return engine->program(role)->foreground(); }
    // The colour of the still a screen shows in front, or an invalid colour when it shows none.
    QColor shownColor(const ScreenRole& role = kScreen1) const
    {
        const Picture* front = shown(role);
        return front && front->image() ? front->image()->pixelColor(0, 0) : QColor();
    }

    double started = 0;
};

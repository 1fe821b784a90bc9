#pragma once

#include "clock.h"
#include "engine.h"
#include "eventwait.h"
#include "fakedisplays.h"
#include "fakeplayer.h"
#include "loopbackreceiver.h"
#include "mediaanswers.h"
#include "mediafixtures.h"
#include "picture.h"
#include "projectfilewait.h"

#include <QColor>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

// Stands still unless moved; with a step it also moves on by that much every time it is read.
class FakeClock : public Clock
{
  public:
    double uptime() const override { return std::exchange(now, now + step); }
    mutable double now = 1000;
    double step = 0;
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// A main engine over a temporary recovery folder on fake players, with a clock and displays the test drives, and
// helpers to script shows of generated stills and stand-in videos.
class EngineTest : public ::testing::Test
{
  protected:
    void SetUp() override { engine = makeEngine(true); }

    std::unique_ptr<Engine> makeEngine(bool monitorsDevices, const QString& recoveryDirectory = {})
    {
        Engine::Services services;
        services.clock = clock;
        services.displays = displays;
        services.windows = windows;
        services.players = [this](QObject* parent) {
            auto player = std::make_unique<FakePlayer>(parent, playersReadyOnLoad);
            players.append(player.get());
            return player;
        };
        services.artNetPort = artNetPort;
        services.isReadableFile = isReadableFile;
        services.makeRemoteHost = makeRemoteHost;
        return std::make_unique<Engine>(monitorsDevices, nullptr,
                                        recoveryDirectory.isEmpty() ? folder.path() : recoveryDirectory, services);
    }

    // One edit as a view makes it: copy the show, change the copy, write it back. The disk's answers about the
    // show's media are then awaited, as they would have come in long before an operator's next click.
    template <typename Change> void edit(Change change)
    {
        Show show = engine->show();
        change(show);
        engine->setShow(show);
        if (awaitAnswers)
            awaitMediaAnswers(*engine);
    }
    // The check once the disk has answered about every file it reads (or their folder has stalled).
    QList<Engine::PlaybackIssue> checked(const QList<Cue>& cues, const QList<MediaAsset>& assets, bool warnings)
    {
        QList<Engine::PlaybackIssue> issues;
        waitUntil([&] {
            issues = engine->playbackIssues(cues, assets, warnings);
            return std::none_of(issues.cbegin(), issues.cend(), [](const Engine::PlaybackIssue& issue) {
                return issue.text.startsWith(QStringLiteral("正在检查素材"));
            });
        });
        return issues;
    }
    // The disk's answer about one file, as an operator's chooser would have had it by the time of the click.
    void awaitAnswerAbout(const QUrl& file)
    {
        waitUntil([&] { return engine->mediaFiles().state(file, FileDepth::header) != FileState::waiting; });
    }
    void rename(int cue, const QString& name)
    {
        edit([&](Show& show) { show.cues[cue].name = name; });
    }
    void setTimeline(int cue, const QList<TimelineEvent>& events)
    {
        edit([&](Show& show) { show.cues[cue].timeline = events; });
    }
    void setScreens(const QList<ScreenRole>& screens)
    {
        edit([&](Show& show) { show.outputScreens = screens; });
    }
    Cue cue(int index) const { return engine->show().cues.at(index); }
    // Opens or saves as the console does and waits for the outcome: the failure's reason, or none.
    std::optional<QString> open(const QUrl& url) { return ProjectFileWait::open(*engine, url); }
    std::optional<QString> save(const QUrl& url) { return ProjectFileWait::save(*engine, url); }
    std::optional<QString> recover() { return ProjectFileWait::recover(*engine); }

    QString recoveryPath() const { return path(QStringLiteral("Recovery.json")); }
    QString parkedPath() const { return path(QStringLiteral("Parked.json")); }
    // A path no one can write to, not even root: its parent is a regular file.
    QString unwritablePath(const QString& name) const
    {
        if (!QFile::exists(path(QStringLiteral("plain"))))
            writeFile(path(QStringLiteral("plain")), {});
        return path(QStringLiteral("plain/") + name);
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    // Files named like media; fake players never read them, the preflight check only wants them to exist.
    static QUrl videoFile(const QString& name) { return QUrl::fromLocalFile(MediaFixtures::file(name, "video")); }
    static QUrl audioFile(const QString& name) { return QUrl::fromLocalFile(MediaFixtures::file(name, "audio")); }
    static QUrl stillFile(QColor color) { return QUrl::fromLocalFile(MediaFixtures::png({16, 16}, color)); }

    static MediaAsset asset(const QUrl& url, AssetKind kind, std::optional<double> duration = std::nullopt)
    {
        MediaAsset made;
        made.url = url;
        made.kind = kind;
        made.duration = duration;
        return made;
    }
    // Adds an asset to the show's library.
    MediaAsset addAsset(const QUrl& url, AssetKind kind, std::optional<double> duration = std::nullopt)
    {
        const MediaAsset made = asset(url, kind, duration);
        edit([&](Show& show) {
            QList<MediaAsset> assets = show.assets.value_or(QList<MediaAsset>{});
            assets.append(made);
            show.assets = assets;
        });
        return made;
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
    bool onAir(int index) const { return engine->current() && engine->current()->id == cue(index).id; }

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

    // A main engine whose lights go to this Art-Net node on loopback, the first cue setting a channel's level.
    void lightOnto(const LoopbackReceiver& node, const Lighting& lighting)
    {
        artNetPort = node.port();
        engine = makeEngine(true);
        edit([&](Show& show) {
            show.artNetHost = QStringLiteral("127.0.0.1");
            show.cues[0].lighting = lighting;
        });
    }
    // Whether the node's newest packet carries the level on the channel (1-based) within 10 s.
    static bool levelSent(LoopbackReceiver& node, qint64 channel, quint8 level)
    {
        return waitUntil(
            [&] {
                const std::vector<ReceivedDatagram> packets = node.drain();
                return !packets.empty() && quint8(packets.back().bytes.at(17 + channel)) == level;
            },
            10000);
    }

    QTemporaryDir folder;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeDisplays> displays = std::make_shared<FakeDisplays>();
    std::shared_ptr<FakeWindows> windows = std::make_shared<FakeWindows>();
    bool playersReadyOnLoad = true;
    // Whether edit() waits for the disk's answers about the show's media.
    bool awaitAnswers = true;
    std::optional<quint16> artNetPort;
    // How the engine asks whether a media file can be read; the file system when empty.
    std::function<bool(const QUrl&)> isReadableFile;
    // The engine's mobile-remote host; none when empty.
    std::function<RemoteHost*(Engine*)> makeRemoteHost;
    // Every player the engine made, in order; gone ones read null.
    QList<QPointer<FakePlayer>> players;
    std::unique_ptr<Engine> engine;
    double started = 0;
};

inline const ScreenRole kScreen3{QStringLiteral("屏幕 3")};

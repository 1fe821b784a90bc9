#pragma once

#include "clock.h"
#include "displayprovider.h"
#include "engine.h"
#include "player.h"

#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

// A player without media whose state a test scripts: it loads at once (or when told), plays, seeks, ends and fails
// on command, and remembers what it was asked to do.
class FakePlayer : public Player
{
  public:
    explicit FakePlayer(QObject* parent = nullptr, bool readyOnLoad = true) : Player(parent), readyOnLoad(readyOnLoad)
    {
    }

    void load(const QUrl& url) override
    {
        current = url;
        state = readyOnLoad ? PlayerStatus::ready : PlayerStatus::loading;
        reset();
    }
    void clear() override
    {
        current.clear();
        state = PlayerStatus::empty;
        reset();
    }
    QUrl url() const override { return current; }
    PlayerStatus status() const override { return state; }
    QString errorText() const override { return {}; }
    quint64 generation() const override { return items; }
    void play() override { playing = hasItem(); }
    void playAt(double position, HostTime start) override
    {
        playing = hasItem();
        seconds = position;
        startedAt = start;
    }
    void pause() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void seek(double position, SeekMode) override
    {
        seconds = position;
        seeks.append(position);
    }
    void setRate(double) override {}
    double rate() const override { return 1; }
    void setVolume(float value) override { level = value; }
    float volume() const override { return level; }
    void setMuted(bool value) override { silent = value; }
    bool isMuted() const override { return silent; }
    double currentTime() const override { return seconds; }
    std::optional<double> duration() const override { return length; }
    void setAudioMixer(std::shared_ptr<AudioChannelMixer>) override {}
    std::optional<VideoFrame> currentFrame() const override { return frame; }

    void becomeReady()
    {
        state = PlayerStatus::ready;
        emit statusChanged(state);
    }
    // Plays to the end of its media.
    void finish()
    {
        playing = false;
        if (length)
            seconds = *length;
        emit ended();
    }
    void fail()
    {
        state = PlayerStatus::failed;
        playing = false;
        emit failed(QStringLiteral("broken"));
    }
    void show(const QImage& image) { frame = VideoFrame::fromImage(image, 0, ++frameSerial); }

    bool readyOnLoad;
    std::optional<double> length;
    double seconds = 0;
    QList<double> seeks;
    std::optional<HostTime> startedAt;

  private:
    void reset()
    {
        ++items;
        playing = false;
        seconds = 0;
        seeks.clear();
        startedAt.reset();
        frame.reset();
    }

    QUrl current;
    PlayerStatus state = PlayerStatus::empty;
    quint64 items = 0;
    bool playing = false;
    float level = 1;
    bool silent = false;
    std::optional<VideoFrame> frame;
    std::uint64_t frameSerial = 0;
};

// Stands still unless moved; with a step it also moves on by that much every time it is read.
class FakeClock : public Clock
{
  public:
    double uptime() const override { return std::exchange(now, now + step); }
    mutable double now = 1000;
    double step = 0;
};

class FakeDisplays : public DisplayProvider
{
  public:
    QList<DisplayScreen> displays() const override { return list; }
    void change(QList<DisplayScreen> displays)
    {
        list = std::move(displays);
        emit displaysChanged();
    }
    QList<DisplayScreen> list;
};

// A main engine over a temporary recovery folder, with a clock, displays and mouse drags the test drives.
class EngineTest : public ::testing::Test
{
  protected:
    void SetUp() override { engine = makeEngine(true); }

    std::unique_ptr<Engine> makeEngine(bool monitorsDevices, const QString& recoveryDirectory = {})
    {
        Engine::Services services;
        services.clock = clock;
        services.displays = displays;
        services.players = [this](QObject* parent) {
            auto player = std::make_unique<FakePlayer>(parent, playersReadyOnLoad);
            players.append(player.get());
            return player;
        };
        services.isDragging = [this] { return dragging; };
        services.artNetPort = artNetPort;
        return std::make_unique<Engine>(monitorsDevices, nullptr,
                                        recoveryDirectory.isEmpty() ? folder.path() : recoveryDirectory, services);
    }

    // One edit as a view makes it: copy the show, change the copy, write it back.
    template <typename Change> void edit(Change change)
    {
        Show show = engine->show();
        change(show);
        engine->setShow(show);
    }
    void rename(int cue, const QString& name)
    {
        edit([&](Show& show) { show.cues[cue].name = name; });
    }

    QString recoveryPath() const { return folder.filePath(QStringLiteral("Recovery.json")); }
    QString parkedPath() const { return folder.filePath(QStringLiteral("Parked.json")); }
    // A path no one can write to, not even root: its parent is a regular file.
    QString unwritablePath(const QString& name) const
    {
        QFile plain(path(QStringLiteral("plain")));
        if (!plain.exists() && plain.open(QIODevice::WriteOnly))
            plain.close();
        return path(QStringLiteral("plain/") + name);
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(path(name)); }

    QTemporaryDir folder;
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    std::shared_ptr<FakeDisplays> displays = std::make_shared<FakeDisplays>();
    bool dragging = false;
    bool playersReadyOnLoad = true;
    std::optional<quint16> artNetPort;
    // Every player the engine made, in order; gone ones read null.
    QList<QPointer<FakePlayer>> players;
    std::unique_ptr<Engine> engine;
};

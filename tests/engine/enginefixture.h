#pragma once

#include "clock.h"
#include "displayprovider.h"
#include "engine.h"
#include "player.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A player that plays nothing: engine tests need players to exist, not to run.
class FakePlayer : public Player
{
public:
    using Player::Player;
    void load(const QUrl& url) override { current = url; }
    void clear() override { current.clear(); }
    QUrl url() const override { return current; }
    PlayerStatus status() const override { return current.isEmpty() ? PlayerStatus::empty : PlayerStatus::ready; }
    QString errorText() const override { return {}; }
    quint64 generation() const override { return 0; }
    void play() override {}
    void playAt(double, HostTime) override {}
    void pause() override {}
    bool isPlaying() const override { return false; }
    void seek(double, SeekMode) override {}
    void setRate(double) override {}
    double rate() const override { return 1; }
    void setVolume(float value) override { level = value; }
    float volume() const override { return level; }
    void setMuted(bool value) override { silent = value; }
    bool isMuted() const override { return silent; }
    double currentTime() const override { return 0; }
    std::optional<double> duration() const override { return std::nullopt; }
    void setAudioMixer(std::shared_ptr<AudioChannelMixer>) override {}
    std::optional<VideoFrame> currentFrame() const override { return std::nullopt; }

private:
    QUrl current;
    float level = 1;
    bool silent = false;
};

class FakeClock : public Clock
{
public:
    double uptime() const override { return now; }
    double now = 1000;
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
        services.players = [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
        services.isDragging = [this] { return dragging; };
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
    std::unique_ptr<Engine> engine;
};

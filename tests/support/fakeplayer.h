#pragma once

#include "player.h"

#include <QImage>
#include <QList>

// A player without media whose state a test scripts: it loads at once (or when told), plays, seeks, ends and fails
// on command, shows the frame the test gives it, and remembers what it was asked to do.
class FakePlayer : public Player
{
  public:
    explicit FakePlayer(QObject* parent = nullptr, bool readyOnLoad = true) : Player(parent), readyOnLoad(readyOnLoad)
    {
    }

    void load(const QUrl& url) override
    {
        m_url = url;
        replaceItem(readyOnLoad ? PlayerStatus::ready : PlayerStatus::loading);
    }
    void clear() override
    {
        m_url.clear();
        replaceItem(PlayerStatus::empty);
    }
    QUrl url() const override { return m_url; }
    PlayerStatus status() const override { return m_status; }
    QString errorText() const override { return {}; }
    quint64 generation() const override { return m_generation; }
    void play() override { m_playing = hasItem(); }
    void playAt(double position, HostTime start) override
    {
        m_playing = hasItem();
        seconds = position;
        startedAt = start;
    }
    void pause() override { m_playing = false; }
    bool isPlaying() const override { return m_playing; }
    void seek(double position, SeekMode) override
    {
        seconds = position;
        seeks.append(position);
    }
    void setRate(double) override {}
    double rate() const override { return 1; }
    void setVolume(float value) override { m_volume = value; }
    float volume() const override { return m_volume; }
    void setMuted(bool muted) override { m_muted = muted; }
    bool isMuted() const override { return m_muted; }
    double currentTime() const override { return seconds; }
    std::optional<double> duration() const override { return length; }
    void setAudioMixer(std::shared_ptr<AudioChannelMixer>) override {}
    std::optional<VideoFrame> currentFrame() const override
    {
        ++frameRequests;
        return m_frame;
    }

    void becomeReady() { setStatus(PlayerStatus::ready); }
    // Plays to the end of its media.
    void finish()
    {
        m_playing = false;
        if (length)
            seconds = *length;
        emit ended();
    }
    void fail()
    {
        m_playing = false;
        setStatus(PlayerStatus::failed);
        emit failed(QStringLiteral("broken"));
    }
    void setFrame(const VideoFrame& frame)
    {
        m_frame = frame;
        frameDecoded(frame, m_generation);
        emit frameArrived();
    }
    void show(const QImage& image) { setFrame(VideoFrame::fromImage(image, 0, ++m_serial)); }

    bool readyOnLoad;
    std::optional<double> length;
    double seconds = 0;
    QList<double> seeks;
    std::optional<HostTime> startedAt;
    mutable int frameRequests = 0;

  private:
    void replaceItem(PlayerStatus status)
    {
        m_generation = newGeneration();
        m_playing = false;
        seconds = 0;
        seeks.clear();
        startedAt.reset();
        m_frame.reset();
        setStatus(status);
    }
    void setStatus(PlayerStatus status)
    {
        m_status = status;
        emit statusChanged(status);
    }

    QUrl m_url;
    PlayerStatus m_status = PlayerStatus::empty;
    quint64 m_generation = newGeneration();
    bool m_playing = false;
    float m_volume = 1;
    bool m_muted = false;
    std::optional<VideoFrame> m_frame;
    std::uint64_t m_serial = 0;
};

inline PlayerFactory fakePlayers()
{
    return [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
}

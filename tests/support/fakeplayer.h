#pragma once

#include "player.h"

#include <QImage>

// A player without media: load() makes an item at once, the test decides which frame is current, and the player
// counts how often that frame is asked for.
class FakePlayer : public Player
{
  public:
    using Player::Player;

    void load(const QUrl& url) override
    {
        m_url = url;
        ++m_generation;
        m_frame.reset();
        m_status = PlayerStatus::ready;
        emit statusChanged(m_status);
    }
    void clear() override
    {
        m_url = QUrl();
        ++m_generation;
        m_frame.reset();
        m_status = PlayerStatus::empty;
        emit statusChanged(m_status);
    }
    QUrl url() const override { return m_url; }
    PlayerStatus status() const override { return m_status; }
    QString errorText() const override { return {}; }
    quint64 generation() const override { return m_generation; }
    void play() override { m_playing = true; }
    void playAt(double, HostTime) override { m_playing = true; }
    void pause() override { m_playing = false; }
    bool isPlaying() const override { return m_playing; }
    void seek(double, SeekMode) override {}
    void setRate(double) override {}
    double rate() const override { return 1; }
    void setVolume(float) override {}
    float volume() const override { return 1; }
    void setMuted(bool muted) override { m_muted = muted; }
    bool isMuted() const override { return m_muted; }
    double currentTime() const override { return 0; }
    std::optional<double> duration() const override { return std::nullopt; }
    void setAudioMixer(std::shared_ptr<AudioChannelMixer>) override {}
    std::optional<VideoFrame> currentFrame() const override
    {
        ++frameRequests;
        return m_frame;
    }

    void setFrame(const VideoFrame& frame) { m_frame = frame; }
    void show(const QImage& image) { m_frame = VideoFrame::fromImage(image, 0, ++m_serial); }

    mutable int frameRequests = 0;

  private:
    QUrl m_url;
    quint64 m_generation = 0;
    std::uint64_t m_serial = 0;
    PlayerStatus m_status = PlayerStatus::empty;
    std::optional<VideoFrame> m_frame;
    bool m_playing = false;
    bool m_muted = false;
};

inline PlayerFactory fakePlayers()
{
    return [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
}

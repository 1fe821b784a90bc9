#pragma once

#include "player.h"

#include <memory>

typedef struct _GstElement GstElement;

// The real player: one GStreamer playbin for the player's whole life.
class GstPlayer : public Player
{
    Q_OBJECT
  public:
    explicit GstPlayer(QObject* parent = nullptr);
    ~GstPlayer() override;

    void load(const QUrl& url) override;
    void clear() override;
    QUrl url() const override;
    PlayerStatus status() const override;
    QString errorText() const override;
    quint64 generation() const override;

    void play() override;
    void playAt(double position, HostTime start) override;
    void awaitStart() override;
    void pause() override;
    bool isPlaying() const override;
    void seek(double seconds, SeekMode mode = SeekMode::exact) override;
    void setRate(double rate) override;
    double rate() const override;
    void setVolume(float volume) override;
    float volume() const override;
    void setMuted(bool muted) override;
    bool isMuted() const override;

    double currentTime() const override;
    std::optional<double> duration() const override;

    void setAudioMixer(std::shared_ptr<AudioChannelMixer> mixer) override;
    std::optional<VideoFrame> currentFrame() const override;

    // The current item's playbin once it has arrived from its build; none before, and none without an item. Only for
    // reading back what the pipeline was told: everything that drives it goes through its commands.
    GstElement* pipelineElement() const;

  private:
    struct Private;
    std::unique_ptr<Private> d;
};

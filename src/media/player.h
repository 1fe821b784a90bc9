#pragma once

#include "videoframe.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class AudioChannelMixer;

// The clock that every player's start time is given in (CLOCK_MONOTONIC, the same clock GStreamer's system clock
// runs on), so players started for one host time begin together.
using HostClock = std::chrono::steady_clock;
using HostTime = HostClock::time_point;

enum class PlayerStatus { empty, loading, ready, failed };
enum class SeekMode { exact, fast };

// One media player for its whole life: an item is loaded, replaced or cleared; it prerolls on load and reports
// ready, its end and its failure on the main thread. Signals of a replaced item never arrive after the replacement.
// Every call returns at once, whatever the item's file does: what it tells is what the player last heard from its
// pipeline, and what it asks of the pipeline is done there.
class Player : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    // Replaces the current item and prerolls it paused at its start; ready() follows, or failed().
    virtual void load(const QUrl& url) = 0;
    // Stops and forgets the current item.
    virtual void clear() = 0;
    virtual QUrl url() const = 0;
    bool hasItem() const { return status() != PlayerStatus::empty; }
    virtual PlayerStatus status() const = 0;
    bool isReady() const { return status() == PlayerStatus::ready; }
    // The reason of the last failure, empty unless status() is failed.
    virtual QString errorText() const = 0;
    // Identifies the current item among all items of every player of the process, so that nothing of a released
    // player is taken for an item of one made later in its place: each load() and clear() takes a new one.
    virtual quint64 generation() const = 0;

    virtual void play() = 0;
    // Plays from position (seconds) so that the media at position is heard and seen at the host time start.
    virtual void playAt(double position, HostTime start) = 0;
    // The item still loading is to begin playing once it and the players it starts with have loaded: its first
    // frame is held back until it plays, so that it goes up with its sound rather than a start lead before it.
    virtual void awaitStart() {}
    virtual void pause() = 0;
    virtual bool isPlaying() const = 0;
    // A seek before the item is ready is applied once it is.
    virtual void seek(double seconds, SeekMode mode = SeekMode::exact) = 0;
    virtual void setRate(double rate) = 0;
    virtual double rate() const = 0;
    virtual void setVolume(float volume) = 0;
    virtual float volume() const = 0;
    virtual void setMuted(bool muted) = 0;
    virtual bool isMuted() const = 0;

    // Seconds into the current item: the position its pipeline last reported, reckoned on by the clock while it plays.
    virtual double currentTime() const = 0;
    // The length its pipeline told once the item prerolled.
    virtual std::optional<double> duration() const = 0;

    // The mixer that processes the current item's sound, until the next load() or clear().
    virtual void setAudioMixer(std::shared_ptr<AudioChannelMixer> mixer) = 0;
    // The newest decoded frame of the current item, none before its first; frameArrived() says when it changes.
    virtual std::optional<VideoFrame> currentFrame() const = 0;

    // Called with every new frame and the generation of its item on the thread that decoded it (a streaming thread
    // of a real player; the player's own thread for a frame decoded before the player took its pipeline over, and the
    // pipeline's worker for a first frame held back until its start), before frameArrived() is on its way; an empty
    // listener removes it. Once this returns, the listener it replaced is not running and is never called again.
    using DecodedFrameListener = std::function<void(const VideoFrame& frame, quint64 generation)>;
    void setDecodedFrameListener(DecodedFrameListener listener);

  signals:
    void statusChanged(PlayerStatus status);
    // The current item played to its end.
    void ended();
    // The current item cannot play (on); reason is the media framework's own text.
    void failed(const QString& reason);
    // A new frame is in currentFrame(); sent once for however many arrived since the last time it was sent.
    void frameArrived();

  protected:
    // Hands a new frame to the decoded-frame listener; any thread.
    void frameDecoded(const VideoFrame& frame, quint64 generation);
    // A generation no item of any player has had yet.
    static quint64 newGeneration();

  private:
    std::mutex m_listenerLock;
    DecodedFrameListener m_decodedListener;
};

using PlayerFactory = std::function<std::unique_ptr<Player>(QObject* parent)>;

// Makes the real players.
PlayerFactory defaultPlayerFactory();

#pragma once

#include "driftfollower.h"
#include "playbackonset.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

typedef struct _GstElement GstElement;
typedef struct _GstAudioBaseSink GstAudioBaseSink;

// How far the sound of one pipeline lags behind the pipeline's clock, for the pictures to wait for it. The audio
// sink runs on the device's clock and follows the host clock (see DriftFollower), and the device adds a delay of its
// own: a picture due at a time is right when it shows as the sound of that time is heard.
class SoundClock
{
  public:
    SoundClock() = default;
    ~SoundClock();
    SoundClock(const SoundClock&) = delete;
    SoundClock& operator=(const SoundClock&) = delete;

    // Takes note of an element added to the pipeline: an audio sink is kept, and made to follow the host clock.
    // Any thread.
    void elementAdded(GstElement* element);
    void elementRemoved(GstElement* element);
    void forget();
    // The sink's own clock tells it once it goes at the host's pace after a start (zero where the sink is itself the
    // clock); until then, and for a pipeline without sound, it is the lag last measured (SoundLag).
    std::chrono::nanoseconds delay() const;

  private:
    // One going to playing of the sink, told by its base time.
    struct Start
    {
        std::uint64_t base = 0;
        PlaybackOnset pace;
        // The clock's last reading once at pace, the host time it last moved, and the delay measured then.
        std::int64_t lastReading = 0;
        std::int64_t movedAt = 0;
        std::optional<std::chrono::nanoseconds> lastDelay;
    };
    // A clock standing still after it went at pace plays nothing for now.
    enum class Sound { none, starting, atPace, standing };

    void adopt(GstElement* sink);
    static void release(GstElement* sink);
    // Follows the sink's current start; with the lock held.
    Sound watch() const;
    std::chrono::nanoseconds measuredDelay() const;
    static std::chrono::nanoseconds startingDelay();
    // On the sink's streaming thread: a new start of the sink (`starting`), a flush or new caps, and each buffer.
    void restartFollowing(bool starting);
    std::int64_t follow(GstAudioBaseSink* sink, std::int64_t soundTime, std::int64_t lead);
    static std::int64_t firstSoundShift(GstAudioBaseSink* sink);

    mutable std::mutex m_lock;
    GstElement* m_sink = nullptr;
    mutable std::optional<Start> m_start;
    std::mutex m_followLock;
    DriftFollower m_follower;
    bool m_started = false;
    bool m_resuming = false;
    bool m_placeFirstSound = false;
    // The sink has placed sound since it last started or flushed.
    std::atomic<bool> m_rendering{false};
};

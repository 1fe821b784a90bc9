#pragma once

#include <chrono>
#include <mutex>

typedef struct _GstElement GstElement;

// How far the sound of one pipeline lags behind the pipeline's clock, for the pictures to wait for it. The audio
// sink runs on the device's clock and follows the host clock only within a tolerance, and the device adds a delay of
// its own: a picture due at a time is right when it shows as the sound of that time is heard.
class SoundClock
{
  public:
    SoundClock() = default;
    ~SoundClock();
    SoundClock(const SoundClock&) = delete;
    SoundClock& operator=(const SoundClock&) = delete;

    // Takes note of an element added to the pipeline: an audio sink is kept, and made to follow the host clock
    // closely. Any thread.
    void elementAdded(GstElement* element);
    void elementRemoved(GstElement* element);
    void forget();
    // How much later than the pipeline clock says the sound is heard now; zero while the sink does not play or is
    // itself the clock. Any thread.
    std::chrono::nanoseconds delay() const;

  private:
    void adopt(GstElement* sink);

    mutable std::mutex m_lock;
    GstElement* m_sink = nullptr;
};

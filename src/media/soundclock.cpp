#include "soundclock.h"

#include "soundlag.h"

#include <algorithm>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/gst.h>
#include <utility>

using namespace std::chrono_literals;

namespace {

// A device starts playing as the sink starts it, before the first sound reaches it: sound placed right at the start
// of its stream would lose its first milliseconds.
constexpr std::chrono::nanoseconds kFirstSoundAhead = 20ms;
// A clock that has not moved for this long while the host's went on plays nothing now.
constexpr std::int64_t kStandingStillNs = 50'000'000;

std::int64_t hostNowNs()
{
    return std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

SoundClock::~SoundClock()
{
    forget();
}

void SoundClock::elementAdded(GstElement* element)
{
    // A sink bin (autoaudiosink) may come with its sink already made inside it.
    if (GST_IS_BIN(element)) {
        GstIterator* children = gst_bin_iterate_recurse(GST_BIN(element));
        GValue child = G_VALUE_INIT;
        while (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
            if (auto* inner = GST_ELEMENT(g_value_get_object(&child)); GST_IS_AUDIO_BASE_SINK(inner))
                adopt(inner);
            g_value_reset(&child);
        }
        g_value_unset(&child);
        gst_iterator_free(children);
        return;
    }
    if (GST_IS_AUDIO_BASE_SINK(element))
        adopt(element);
}

void SoundClock::adopt(GstElement* sink)
{
    const auto onBuffer = +[](GstAudioBaseSink* sink, GstClockTime external, GstClockTime internal,
                              GstClockTimeDiff* correction, GstAudioBaseSinkDiscontReason reason, gpointer data) {
        auto* clock = static_cast<SoundClock*>(data);
        // A new start, a flush or new caps: the times are none and no correction is asked for.
        if (!correction)
            clock->restartFollowing(reason == GST_AUDIO_BASE_SINK_DISCONT_REASON_SYNC_LATENCY);
        else
            *correction = clock->follow(sink, std::int64_t(internal), GST_CLOCK_DIFF(external, internal));
    };
    std::scoped_lock lock(m_lock);
    // A sink bin announces its sink as it is made, and again as the bin is added.
    if (sink == m_sink)
        return;
    release(m_sink);
    {
        std::scoped_lock following(m_followLock);
        m_follower = DriftFollower();
        m_started = false;
        m_placeFirstSound = false;
        m_rendering = false;
    }
    g_object_set(sink, "slave-method", GST_AUDIO_BASE_SINK_SLAVE_CUSTOM, nullptr);
    gst_audio_base_sink_set_custom_slaving_callback(GST_AUDIO_BASE_SINK(sink), onBuffer, this, nullptr);
    m_sink = GST_ELEMENT(gst_object_ref(sink));
}

void SoundClock::elementRemoved(GstElement* element)
{
    std::scoped_lock lock(m_lock);
    if (element != m_sink)
        return;
    release(m_sink);
    m_sink = nullptr;
}

void SoundClock::forget()
{
    std::scoped_lock lock(m_lock);
    release(m_sink);
    m_sink = nullptr;
}

// A sink let go of calls this clock no more.
void SoundClock::release(GstElement* sink)
{
    if (!sink)
        return;
    gst_audio_base_sink_set_custom_slaving_callback(GST_AUDIO_BASE_SINK(sink), nullptr, nullptr, nullptr);
    gst_object_unref(sink);
}

void SoundClock::restartFollowing(bool starting)
{
    std::scoped_lock lock(m_followLock);
    m_follower.restart();
    m_rendering = false;
    if (starting) {
        m_placeFirstSound = true;
        m_resuming = std::exchange(m_started, true);
    }
}

std::int64_t SoundClock::follow(GstAudioBaseSink* sink, std::int64_t soundTime, std::int64_t lead)
{
    std::scoped_lock lock(m_followLock);
    m_rendering = true;
    if (m_placeFirstSound) {
        m_placeFirstSound = false;
        return m_resuming ? kFirstSoundAhead.count() : firstSoundShift(sink);
    }
    return m_follower.correctionAt(soundTime, lead, -startingDelay().count());
}

// What pictures wait for until the sound's own lag is known, and where a sound found far from them is brought.
std::chrono::nanoseconds SoundClock::startingDelay()
{
    return SoundLag::last().value_or(kFirstSoundAhead);
}

// A sink that has played nothing yet belongs at the start of its stream. The sink sets its clock to the host clock
// as it starts, and places the first sound where its device's clock says it is; a sound server's clock may run from
// when the stream was opened (at the preroll, seconds before for a prepared cue), and the device would play that long
// a silence first. Moving the sink's clock back by that much puts the first sound at the start of the stream, a
// moment ahead of what the device plays as it starts.
std::int64_t SoundClock::firstSoundShift(GstAudioBaseSink* sink)
{
    GstClock* own = sink->provided_clock;
    if (!own || !GST_IS_AUDIO_CLOCK(own))
        return 0;
    GstClockTime calibratedAt = 0;
    gst_clock_get_calibration(own, &calibratedAt, nullptr, nullptr, nullptr);
    const GstClockTimeDiff firstSound = GST_AUDIO_CLOCK_CAST(own)->time_offset + kFirstSoundAhead.count();
    return firstSound - GstClockTimeDiff(calibratedAt);
}

SoundClock::Sound SoundClock::watch() const
{
    if (!m_sink)
        return Sound::none;
    GST_OBJECT_LOCK(m_sink);
    const bool playing = GST_STATE(m_sink) == GST_STATE_PLAYING;
    const GstClockTime base = GST_ELEMENT_CAST(m_sink)->base_time;
    GST_OBJECT_UNLOCK(m_sink);
    // Until the sink has set its clock for this start and placed sound, what its clock says is from before.
    if (!playing || !m_rendering)
        return Sound::starting;
    GstClock* own = gst_element_provide_clock(m_sink);
    if (!own)
        return Sound::none;
    const GstClockTime reading = gst_clock_get_internal_time(own);
    gst_object_unref(own);
    if (!m_start || m_start->base != base)
        m_start = Start{base, {}, {}, {}, {}};
    const std::int64_t host = hostNowNs();
    if (m_start->pace.onset()) {
        // A sound server's clock runs on by itself for a while after the sink starts it, whether or not the device
        // plays; one that then stands still until the device catches up tells a device that began late. Until it
        // goes again the sound is not where the clock says, and the sink brings it back to the pictures once it is.
        if (std::int64_t(reading) != m_start->lastReading)
            m_start->movedAt = host;
        m_start->lastReading = std::int64_t(reading);
        return host - m_start->movedAt > kStandingStillNs ? Sound::standing : Sound::atPace;
    }
    // The sink's clock stands still from a start until the device plays what it was given; a sound server's may
    // stand still for as long as it ran before, while the stream waited.
    if (!m_start->pace.take(host, std::int64_t(reading)))
        return Sound::starting;
    m_start->lastReading = std::int64_t(reading);
    m_start->movedAt = host;
    if (const std::chrono::nanoseconds lag = measuredDelay(); lag >= 0ns && DriftFollower::waitedFor(-lag.count()))
        SoundLag::note(lag);
    return Sound::atPace;
}

std::chrono::nanoseconds SoundClock::measuredDelay() const
{
    GstClock* own = gst_element_provide_clock(m_sink);
    GstClock* used = gst_element_get_clock(m_sink);
    std::chrono::nanoseconds delay = 0ns;
    // The sink's own clock, calibrated to the one it follows, tells the time of the sound heard now.
    if (own && used && own != used)
        delay = std::chrono::nanoseconds(GstClockTimeDiff(gst_clock_get_time(used) - gst_clock_get_time(own)));
    if (own)
        gst_object_unref(own);
    if (used)
        gst_object_unref(used);
    return delay;
}

std::chrono::nanoseconds SoundClock::delay() const
{
    std::scoped_lock lock(m_lock);
    switch (watch()) {
    case Sound::none:
        return SoundLag::last().value_or(0ns);
    case Sound::starting:
        // The first sound is placed this far ahead of what the device plays as it starts.
        return startingDelay();
    case Sound::standing:
        // Where it was as it last played; a server busy a moment holds its clock as well.
        return m_start->lastDelay.value_or(startingDelay());
    case Sound::atPace:
        break;
    }
    // A sound this far off began late (or stalled): the sink brings it back to where the pictures are.
    const std::chrono::nanoseconds delay = measuredDelay();
    if (!DriftFollower::waitedFor(-delay.count()))
        return startingDelay();
    m_start->lastDelay = delay;
    return delay;
}

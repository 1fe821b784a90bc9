#include "soundclock.h"

#include <algorithm>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/gst.h>

using namespace std::chrono_literals;

namespace {

// The sink corrects its drift from the host clock only past half this tolerance (40 ms by default, which leaves
// the sound up to 20 ms off for good after a late start).
constexpr gint64 kDriftToleranceUs = 10000;
// A delay beyond these is a stalled device rather than a latency: the pictures do not wait for it.
constexpr auto kLongestDelay = 250ms;
constexpr auto kLongestLead = 50ms;

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
    g_object_set(sink, "drift-tolerance", kDriftToleranceUs, nullptr);
    std::scoped_lock lock(m_lock);
    if (m_sink)
        gst_object_unref(m_sink);
    m_sink = GST_ELEMENT(gst_object_ref(sink));
}

void SoundClock::elementRemoved(GstElement* element)
{
    std::scoped_lock lock(m_lock);
    if (element != m_sink)
        return;
    gst_object_unref(m_sink);
    m_sink = nullptr;
}

void SoundClock::forget()
{
    std::scoped_lock lock(m_lock);
    if (m_sink)
        gst_object_unref(m_sink);
    m_sink = nullptr;
}

std::chrono::nanoseconds SoundClock::delay() const
{
    std::scoped_lock lock(m_lock);
    if (!m_sink)
        return 0ns;
    GST_OBJECT_LOCK(m_sink);
    const bool playing = GST_STATE(m_sink) == GST_STATE_PLAYING;
    GST_OBJECT_UNLOCK(m_sink);
    if (!playing)
        return 0ns;
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
    if (delay > kLongestDelay || delay < -kLongestLead)
        return 0ns;
    return delay;
}

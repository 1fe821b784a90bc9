#include "heldsoundsink.h"

#include "gstinit.h"

#include <atomic>
#include <gst/gst.h>
#include <thread>

namespace {

std::atomic<long long> holdMs{0};

struct LumoHeldSoundSink
{
    GstBin parent;
};

struct LumoHeldSoundSinkClass
{
    GstBinClass parentClass;
};

GstStaticPadTemplate sinkTemplate = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

// On the streaming thread, as the stream's format comes: the sink opens its device stream with it.
GstPadProbeReturn holdOpening(GstPad*, GstPadProbeInfo* info, gpointer)
{
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    if (const long long ms = holdMs.exchange(0); ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return GST_PAD_PROBE_REMOVE;
}

} // namespace

G_DEFINE_TYPE(LumoHeldSoundSink, lumo_held_sound_sink, GST_TYPE_BIN)

static void lumo_held_sound_sink_init(LumoHeldSoundSink* self)
{
    GstElement* sink = gst_element_factory_make("pulsesink", nullptr);
    if (!sink)
        return;
    gst_bin_add(GST_BIN(self), sink);
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, holdOpening, nullptr, nullptr);
    gst_element_add_pad(GST_ELEMENT(self), gst_ghost_pad_new("sink", pad));
    gst_object_unref(pad);
}

static void lumo_held_sound_sink_class_init(LumoHeldSoundSinkClass* klass)
{
    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "Held sound sink", "Sink/Audio",
                                          "PulseAudio's sink, its first sound held back on request", "Lumoria tests");
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
}

bool HeldSoundSink::install()
{
    initGstreamer();
    GstElementFactory* pulse = gst_element_factory_find("pulsesink");
    if (!pulse)
        return false;
    gst_object_unref(pulse);
    // Above every sink autoaudiosink would otherwise choose.
    return gst_element_register(nullptr, "lumoheldsoundsink", GST_RANK_PRIMARY + 100, lumo_held_sound_sink_get_type());
}

void HeldSoundSink::holdNextOpening(std::chrono::milliseconds hold)
{
    holdMs = hold.count();
}

#include "audiooutput.h"

#include "gstinit.h"
#include "soundoutput.h"

#include <gst/gst.h>

namespace {

bool usesFakeSink(GstElement* bin)
{
    bool fake = false;
    GstIterator* children = gst_bin_iterate_elements(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        auto* child = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* factory = gst_element_get_factory(child);
        if (factory && g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fakesink") == 0)
            fake = true;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return fake;
}

bool probeSoundDevice()
{
    GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        return false;
    gst_object_ref_sink(sink);
    const bool opened = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    const bool device = opened && !usesFakeSink(sink);
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return device;
}

} // namespace

bool soundDeviceOpens()
{
    initGstreamer();
    return probeSoundDevice();
}

GstElement* makeAudioSink()
{
    if (SoundOutput::shared().sink() == SoundSink::device)
        return gst_element_factory_make("autoaudiosink", nullptr);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, nullptr);
    return sink;
}

#include "audiotap.h"

#include "audiochannelmixer.h"
#include "gstinit.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

namespace {

GstPadProbeReturn onCaps(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    GstAudioInfo audio;
    const bool parsed = gst_audio_info_from_caps(&audio, caps);
    static_cast<AudioTap*>(data)->setChannels(parsed ? GST_AUDIO_INFO_CHANNELS(&audio) : 0);
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn onBuffer(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    static_cast<AudioTap*>(data)->apply(&buffer);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

} // namespace

AudioTap::AudioTap()
{
    initGstreamer();
    m_bin = gst_bin_new("audiotap");
    gst_object_ref_sink(m_bin);
    GstElement* convert = gst_element_factory_make("audioconvert", nullptr);
    GstElement* filter = gst_element_factory_make("capsfilter", nullptr);
    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(m_bin), convert, filter, nullptr);
    gst_element_link(convert, filter);

    GstPad* sink = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(m_bin, gst_ghost_pad_new("sink", sink));
    gst_object_unref(sink);
    GstPad* src = gst_element_get_static_pad(filter, "src");
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onCaps, this, nullptr);
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, onBuffer, this, nullptr);
    gst_element_add_pad(m_bin, gst_ghost_pad_new("src", src));
    gst_object_unref(src);
}

AudioTap::~AudioTap()
{
    gst_object_unref(m_bin);
}

void AudioTap::setMixer(std::shared_ptr<AudioChannelMixer> mixer)
{
    std::scoped_lock lock(m_mixerLock);
    m_mixer = std::move(mixer);
}

void AudioTap::apply(GstBuffer** buffer)
{
    const int channels = m_channels;
    if (channels <= 0)
        return;
    std::shared_ptr<AudioChannelMixer> mixer;
    {
        std::scoped_lock lock(m_mixerLock);
        mixer = m_mixer;
    }
    if (!mixer)
        return;
    *buffer = gst_buffer_make_writable(*buffer);
    GstMapInfo map;
    if (!gst_buffer_map(*buffer, &map, GST_MAP_READWRITE))
        return;
    const AudioChannelMixer::Buffer samples{channels, reinterpret_cast<float*>(map.data), map.size};
    mixer->process({&samples, 1}, static_cast<int>(map.size / (sizeof(float) * channels)));
    gst_buffer_unmap(*buffer, &map);
}

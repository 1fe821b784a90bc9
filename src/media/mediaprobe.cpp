#include "mediaprobe.h"

#include "gstinit.h"
#include "videooutput.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

namespace {

constexpr GstClockTime probeTimeout = 10 * GST_SECOND;

QByteArray uriOf(const QUrl& url)
{
    return (url.isRelative() ? QUrl::fromLocalFile(url.path()) : url).toEncoded();
}

} // namespace

std::optional<double> mediaDuration(const QUrl& url)
{
    initGstreamer();
    GstDiscoverer* discoverer = gst_discoverer_new(probeTimeout, nullptr);
    if (!discoverer) return std::nullopt;
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uriOf(url).constData(), nullptr);
    std::optional<double> seconds;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        const GstClockTime duration = gst_discoverer_info_get_duration(info);
        if (GST_CLOCK_TIME_IS_VALID(duration) && duration > 0) seconds = double(duration) / GST_SECOND;
    }
    if (info) g_object_unref(info);
    g_object_unref(discoverer);
    return seconds;
}

std::optional<QImage> videoFrameAt(const QUrl& url, double seconds, QSize maxSize)
{
    initGstreamer();
    VideoOutput output;
    GstElement* pipeline = gst_element_factory_make("playbin", nullptr);
    gst_object_ref_sink(pipeline);
    g_object_set(pipeline, "uri", uriOf(url).constData(), "flags", 0x1 | 0x40, "video-sink", output.element(), nullptr);
    std::optional<QImage> image;
    const auto prerolled = [&] {
        return gst_element_get_state(pipeline, nullptr, nullptr, probeTimeout) == GST_STATE_CHANGE_SUCCESS;
    };
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (prerolled() &&
        gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                gint64(std::max(seconds, 0.0) * GST_SECOND)) &&
        prerolled()) {
        if (const std::optional<VideoFrame> frame = output.currentFrame()) {
            const QImage converted = frame->toImage(maxSize);
            if (!converted.isNull()) image = converted;
        }
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return image;
}

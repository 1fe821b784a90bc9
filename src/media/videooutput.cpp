#include "videooutput.h"

#include "gstinit.h"

#include <gst/app/gstappsink.h>
#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <gst/video/video.h>

namespace {

// The orientations a video may carry, as clockwise rotation in quarter turns plus a mirror flag.
struct Orientation
{
    const char* tag;
    int quarterTurns;
    bool flipped;
};
constexpr Orientation orientations[] = {{"rotate-0", 0, false},       {"rotate-90", 1, false},
                                        {"rotate-180", 2, false},     {"rotate-270", 3, false},
                                        {"flip-rotate-0", 0, true},   {"flip-rotate-90", 1, true},
                                        {"flip-rotate-180", 2, true}, {"flip-rotate-270", 3, true}};

// Maps frame pixels to upright display pixels, keeping the result in the positive quadrant.
QTransform orientationTransform(int index, QSize size)
{
    const Orientation& o = orientations[index];
    QTransform t;
    if (o.flipped)
        t = QTransform(-1, 0, 0, 1, size.width(), 0);
    const qreal w = size.width();
    const qreal h = size.height();
    switch (o.quarterTurns) {
    case 1:
        return t * QTransform(0, 1, -1, 0, h, 0);
    case 2:
        return t * QTransform(-1, 0, 0, -1, w, h);
    case 3:
        return t * QTransform(0, -1, 1, 0, 0, w);
    default:
        return t;
    }
}

std::optional<VideoFrame::Format> frameFormat(GstVideoFormat format)
{
    switch (format) {
    case GST_VIDEO_FORMAT_I420:
        return VideoFrame::Format::i420;
    case GST_VIDEO_FORMAT_NV12:
        return VideoFrame::Format::nv12;
    case GST_VIDEO_FORMAT_BGRA:
        return VideoFrame::Format::bgra;
    case GST_VIDEO_FORMAT_RGBA:
        return VideoFrame::Format::rgba;
    default:
        return std::nullopt;
    }
}

// The stream's own colorimetry; GStreamer has already filled in its defaults for what the caps leave out.
std::optional<VideoColorimetry> colorimetryOf(const GstVideoInfo& info)
{
    if (!GST_VIDEO_INFO_IS_YUV(&info))
        return std::nullopt;
    VideoColorimetry colorimetry = VideoColorimetry::defaultFor(QSize(info.width, info.height));
    gdouble kr = 0, kb = 0;
    if (gst_video_color_matrix_get_Kr_Kb(info.colorimetry.matrix, &kr, &kb)) {
        colorimetry.kr = kr;
        colorimetry.kb = kb;
    }
    colorimetry.fullRange = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    // Decoders state the siting (H.264's is "mpeg2": on the left luma sample); unknown counts as centred.
    colorimetry.chromaCositedH = info.chroma_site & GST_VIDEO_CHROMA_SITE_H_COSITED;
    colorimetry.chromaCositedV = info.chroma_site & GST_VIDEO_CHROMA_SITE_V_COSITED;
    return colorimetry;
}

class SampleStorage : public VideoFrame::Storage
{
  public:
    SampleStorage(GstSample* sample) : m_sample(gst_sample_ref(sample)) {}
    ~SampleStorage() override
    {
        if (m_mapped)
            gst_video_frame_unmap(&m_frame);
        gst_sample_unref(m_sample);
    }
    bool map(const GstVideoInfo& info)
    {
        m_mapped = gst_video_frame_map(&m_frame, &info, gst_sample_get_buffer(m_sample), GST_MAP_READ);
        return m_mapped;
    }
    const GstVideoFrame& frame() const { return m_frame; }

  private:
    GstSample* m_sample;
    GstVideoFrame m_frame{};
    bool m_mapped = false;
};

// The prerolled frame and every played one reach the same store.
template <GstSample* (*pull)(GstAppSink*), bool prerolled> GstFlowReturn storePulled(GstAppSink* sink, gpointer data)
{
    GstSample* sample = pull(sink);
    if (sample) {
        static_cast<VideoOutput*>(data)->store(sample, prerolled);
        gst_sample_unref(sample);
    }
    return GST_FLOW_OK;
}

void takeOrientation(GstEvent* tagEvent, VideoOutput& output)
{
    GstTagList* tags = nullptr;
    gst_event_parse_tag(tagEvent, &tags);
    gchar* orientation = nullptr;
    if (gst_tag_list_get_string(tags, GST_TAG_IMAGE_ORIENTATION, &orientation)) {
        output.setOrientation(orientation);
        g_free(orientation);
    }
}

GstPadProbeReturn onEvent(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    auto& output = *static_cast<VideoOutput*>(data);
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_TAG:
        takeOrientation(event, output);
        break;
    case GST_EVENT_EOS:
    case GST_EVENT_GAP:
        output.setStreamIdle(true);
        break;
    // A seek starts a new segment; a new item, a new stream.
    case GST_EVENT_STREAM_START:
    case GST_EVENT_SEGMENT:
        output.setStreamIdle(false);
        break;
    default:
        break;
    }
    return GST_PAD_PROBE_OK;
}

} // namespace

VideoOutput::VideoOutput()
{
    initGstreamer();
    m_bin = gst_bin_new("videooutput");
    gst_object_ref_sink(m_bin);
    GstElement* convert = gst_element_factory_make("videoconvert", nullptr);
    GstElement* appsink = gst_element_factory_make("appsink", nullptr);
    m_sink = appsink;
    GstCaps* caps = gst_caps_from_string("video/x-raw,format={I420,NV12,BGRA,RGBA}");
    g_object_set(appsink, "caps", caps, "sync", TRUE, "max-buffers", 1, "drop", TRUE, "enable-last-sample", FALSE,
                 "ts-offset", gint64(-std::chrono::nanoseconds(kHandOverLead).count()), nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_preroll = storePulled<gst_app_sink_pull_preroll, true>;
    callbacks.new_sample = storePulled<gst_app_sink_pull_sample, false>;
    gst_app_sink_set_callbacks(GST_APP_SINK(appsink), &callbacks, this, nullptr);
    gst_bin_add_many(GST_BIN(m_bin), convert, appsink, nullptr);
    gst_element_link(convert, appsink);

    GstPad* sink = gst_element_get_static_pad(convert, "sink");
    gst_pad_add_probe(sink, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onEvent, this, nullptr);
    gst_element_add_pad(m_bin, gst_ghost_pad_new("sink", sink));
    gst_object_unref(sink);
}

VideoOutput::~VideoOutput()
{
    if (m_heldSample)
        gst_sample_unref(m_heldSample);
    gst_object_unref(m_bin);
}

std::optional<VideoFrame> VideoOutput::currentFrame() const
{
    std::scoped_lock lock(m_frameLock);
    return m_frame;
}

void VideoOutput::reset()
{
    std::scoped_lock lock(m_frameLock);
    m_frame.reset();
    if (m_heldSample)
        gst_sample_unref(std::exchange(m_heldSample, nullptr));
    m_lastBuffer = nullptr;
    m_orientation = 0;
    m_streamIdle = false;
}

void VideoOutput::setOrientation(const char* tag)
{
    for (int i = 0; i < int(std::size(orientations)); ++i)
        if (g_strcmp0(tag, orientations[i].tag) == 0)
            m_orientation = i;
}

// When the sink would have shown the frame without the lead, later by the sound's delay: the lead is set again to
// follow that delay, so frames keep coming the same time ahead.
std::optional<std::chrono::steady_clock::time_point> VideoOutput::dueTimeOf(GstSample* sample, std::uint64_t base)
{
    const GstSegment* segment = gst_sample_get_segment(sample);
    const GstClockTime pts = GST_BUFFER_PTS(gst_sample_get_buffer(sample));
    if (!segment || !GST_CLOCK_TIME_IS_VALID(pts))
        return std::nullopt;
    const guint64 running = gst_segment_to_running_time(segment, GST_FORMAT_TIME, pts);
    if (!GST_CLOCK_TIME_IS_VALID(running))
        return std::nullopt;
    const std::chrono::nanoseconds delay = m_soundDelay ? m_soundDelay() : std::chrono::nanoseconds(0);
    gst_base_sink_set_ts_offset(GST_BASE_SINK(m_sink), (delay - kHandOverLead).count());
    const GstClockTime due = base + running + gst_base_sink_get_latency(GST_BASE_SINK(m_sink));
    return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due) + delay);
}

void VideoOutput::store(GstSample* sample, bool prerolled)
{
    {
        std::scoped_lock lock(m_frameLock);
        if (m_heldSample)
            gst_sample_unref(std::exchange(m_heldSample, nullptr));
        if (prerolled && m_holdPrerolled && *m_holdPrerolled) {
            m_heldSample = gst_sample_ref(sample);
            return;
        }
    }
    storeFrame(sample, prerolled ? std::nullopt : dueTimeOf(sample, gst_element_get_base_time(m_sink)));
}

void VideoOutput::releaseHeldFrame(std::chrono::steady_clock::time_point start)
{
    GstSample* held = nullptr;
    {
        std::scoped_lock lock(m_frameLock);
        held = std::exchange(m_heldSample, nullptr);
    }
    if (!held)
        return;
    storeFrame(held, dueTimeOf(held, std::chrono::nanoseconds(start.time_since_epoch()).count()));
    gst_sample_unref(held);
}

void VideoOutput::storeFrame(GstSample* sample, std::optional<std::chrono::steady_clock::time_point> due)
{
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return;
    const std::optional<VideoFrame::Format> format = frameFormat(GST_VIDEO_INFO_FORMAT(&info));
    if (!format)
        return;
    {
        // The prerolled buffer comes once more when playing starts: it is not a new frame.
        std::scoped_lock lock(m_frameLock);
        if (buffer == m_lastBuffer && m_frame)
            return;
    }
    auto storage = std::make_shared<SampleStorage>(sample);
    if (!storage->map(info))
        return;
    const GstVideoFrame& mapped = storage->frame();
    std::array<VideoFrame::Plane, 3> planes{};
    const int planeCount = int(GST_VIDEO_FRAME_N_PLANES(&mapped));
    for (int p = 0; p < planeCount && p < 3; ++p)
        planes[p] = {static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&mapped, p)),
                     GST_VIDEO_FRAME_PLANE_STRIDE(&mapped, p), GST_VIDEO_INFO_COMP_WIDTH(&info, p),
                     GST_VIDEO_INFO_COMP_HEIGHT(&info, p)};
    const QSize size(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    const GstSegment* segment = gst_sample_get_segment(sample);
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const guint64 streamTime = segment && GST_CLOCK_TIME_IS_VALID(pts)
                                   ? gst_segment_to_stream_time(segment, GST_FORMAT_TIME, pts)
                                   : GST_CLOCK_TIME_NONE;
    const double time = GST_CLOCK_TIME_IS_VALID(streamTime) ? double(streamTime) / GST_SECOND : 0.0;
    VideoFrame frame(std::move(storage), *format, size, planes, std::min(planeCount, 3), time,
                     orientationTransform(m_orientation, size), ++m_serial, colorimetryOf(info));
    frame.setDueAt(due);
    std::optional<VideoFrame> previous = frame;
    {
        std::scoped_lock lock(m_frameLock);
        std::swap(previous, m_frame);
        m_lastBuffer = buffer;
        m_streamIdle = false;
    }
    if (m_frameListener)
        m_frameListener(frame);
}

#include "probepipeline.h"

#include "filedescriptors.h"
#include "gstinit.h"
#include "losterrortracer.h"
#include "mediafailure.h"
#include "mediafile.h"
#include "seektarget.h"

#include <QElapsedTimer>
#include <QLocale>
#include <gst/gst.h>
#include <vector>

namespace {

// The last resort for a pipeline that neither prerolls nor reports anything.
constexpr qint64 probeTimeoutMs = 10000;
// How often an error dropped while decodebin was still trying its element is looked at again.
constexpr GstClockTime trialPoll = 10 * GST_MSECOND;
constexpr const char* lostErrorName = "lumo-probe-lost-error";
constexpr const char* firstFrameName = "lumo-probe-first-frame";
// The bus, the file and a hardware decoder's device.
constexpr int probeDescriptors = 8;
// playbin flags: video and audio only, no converters or volume of its own.
constexpr guint videoFlag = 0x1;
constexpr guint audioFlag = 0x2;
constexpr guint nativeVideoFlag = 0x40;

QByteArray uriOf(const QUrl& url)
{
    return (url.isRelative() ? QUrl::fromLocalFile(url.path()) : url).toEncoded();
}

GstBusSyncReply noteDelivered(GstBus*, GstMessage* message, gpointer)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        LostErrorTracer::delivered(message);
    return GST_BUS_PASS;
}

// Posts the stream time of the first frame that reaches the sink, then leaves the pad alone.
GstPadProbeReturn noteFirstFrame(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    GstClockTime time = GST_CLOCK_TIME_NONE;
    if (GstEvent* segmentEvent = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0)) {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(segmentEvent, &segment);
        if (GST_BUFFER_PTS_IS_VALID(buffer))
            time = gst_segment_to_stream_time(segment, GST_FORMAT_TIME, GST_BUFFER_PTS(buffer));
        gst_event_unref(segmentEvent);
    }
    GstStructure* details = gst_structure_new(firstFrameName, "time", G_TYPE_UINT64, guint64(time), nullptr);
    gst_bus_post(static_cast<GstBus*>(data), gst_message_new_application(GST_OBJECT(pad), details));
    return GST_PAD_PROBE_REMOVE;
}

} // namespace

ProbePipeline::ProbePipeline(const QUrl& url, GstElement* videoSink, bool audio) : m_url(QUrl::fromEncoded(uriOf(url)))
{
    initGstreamer();
    // A bus made without descriptors never wakes its reader: the probe would wait out its time limit.
    if (!FileDescriptors::canSpare(probeDescriptors)) {
        m_error = FileDescriptors::shortageText();
        if (videoSink)
            gst_object_unref(gst_object_ref_sink(videoSink));
        return;
    }
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    gst_object_ref_sink(m_pipeline);
    if (!videoSink) {
        // Unsynchronised, so that running to the first frame does not wait out whatever comes before it.
        videoSink = m_ownVideoSink = gst_element_factory_make("fakesink", nullptr);
        g_object_set(videoSink, "sync", FALSE, nullptr);
    }
    GstElement* audioSink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(m_pipeline, "uri", m_url.toEncoded().constData(), "flags",
                 videoFlag | nativeVideoFlag | (audio ? audioFlag : 0), "video-sink", videoSink, "audio-sink",
                 audioSink, nullptr);
    m_bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(m_bus, noteDelivered, nullptr, nullptr);
    LostErrorTracer::watch(m_pipeline, [bus = m_bus](GstElement* source, GstMessage* error) {
        GstStructure* details = gst_structure_new(lostErrorName, "error", GST_TYPE_MESSAGE, error, nullptr);
        gst_bus_post(bus, gst_message_new_application(GST_OBJECT(source), details));
    });
}

ProbePipeline::~ProbePipeline()
{
    if (!m_pipeline)
        return;
    LostErrorTracer::unwatch(m_pipeline);
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
    // Messages still queued hold their elements, and the pipeline holds the bus: dropping them breaks the cycle.
    gst_bus_set_flushing(m_bus, TRUE);
    gst_object_unref(m_bus);
    gst_object_unref(m_pipeline);
}

bool ProbePipeline::preroll()
{
    if (!m_pipeline)
        return false;
    // GStreamer's file source would wait for ever on a FIFO.
    if (m_url.isLocalFile() && !isReadableFileAt(m_url.toLocalFile())) {
        m_error = unreadableFileText(m_url.toLocalFile());
        return false;
    }
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    return waitForPreroll();
}

bool ProbePipeline::seek(double seconds)
{
    if (!m_pipeline)
        return false;
    if (!gst_element_seek_simple(m_pipeline, GST_FORMAT_TIME,
                                 GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 exactSeekTarget(seconds))) {
        // In the operator's locale, the system's: the default locale is Chinese for Qt's own dialogs.
        m_error = QStringLiteral("文件无法定位到 %1 秒")
                      .arg(QLocale::system().toString(seconds, 'f', QLocale::FloatingPointShortest));
        return false;
    }
    return waitForPreroll();
}

std::optional<double> ProbePipeline::duration() const
{
    if (!m_pipeline)
        return std::nullopt;
    gint64 duration = 0;
    if (!gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &duration) || duration <= 0)
        return std::nullopt;
    return double(duration) / GST_SECOND;
}

std::optional<double> ProbePipeline::firstFrameTime()
{
    if (!m_ownVideoSink)
        return std::nullopt;
    if (m_url.isLocalFile() && !isReadableFileAt(m_url.toLocalFile())) {
        m_error = unreadableFileText(m_url.toLocalFile());
        return std::nullopt;
    }
    GstPad* pad = gst_element_get_static_pad(m_ownVideoSink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, noteFirstFrame, m_bus, nullptr);
    gst_object_unref(pad);
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
    std::optional<double> time;
    if (!waitFor(GST_MESSAGE_APPLICATION, firstFrameName, [&](GstMessage* message) {
            guint64 nanoseconds = GST_CLOCK_TIME_NONE;
            gst_structure_get_uint64(gst_message_get_structure(message), "time", &nanoseconds);
            if (GST_CLOCK_TIME_IS_VALID(nanoseconds))
                time = double(nanoseconds) / GST_SECOND;
        }))
        return std::nullopt;
    return time;
}

bool ProbePipeline::waitForPreroll()
{
    return waitFor(GST_MESSAGE_ASYNC_DONE, nullptr, {});
}

bool ProbePipeline::waitFor(int type, const char* applicationName, const std::function<void(GstMessage*)>& arrived)
{
    QElapsedTimer clock;
    clock.start();
    std::vector<GstMessage*> lost;
    const auto finish = [&](bool prerolled, const QString& text) {
        m_error = text;
        for (GstMessage* message : lost)
            gst_message_unref(message);
        return prerolled;
    };
    const auto types = GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_APPLICATION | type);
    while (true) {
        const qint64 left = probeTimeoutMs - clock.elapsed();
        if (left <= 0)
            return finish(false, QStringLiteral("文件在 %1 秒内没有打开").arg(probeTimeoutMs / 1000));
        const GstClockTime wait = lost.empty() ? GstClockTime(left) * GST_MSECOND : trialPoll;
        if (GstMessage* message = gst_bus_timed_pop_filtered(m_bus, wait, types)) {
            const bool awaited = GST_MESSAGE_TYPE(message) == type &&
                                 (!applicationName || gst_message_has_name(message, applicationName));
            if (awaited) {
                if (arrived)
                    arrived(message);
                gst_message_unref(message);
                return finish(true, {});
            }
            // Only a running pipeline ends: the file ran out before what was waited for came.
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
                gst_message_unref(message);
                return finish(false, QStringLiteral("文件中没有画面"));
            }
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                const QString text = mediaFailureText(message, m_url);
                gst_message_unref(message);
                return finish(false, text);
            }
            if (gst_message_has_name(message, lostErrorName))
                lost.push_back(message);
            else
                gst_message_unref(message);
        }
        for (auto it = lost.begin(); it != lost.end();) {
            GstMessage* message = *it;
            switch (LostErrorTracer::judge(m_pipeline, GST_ELEMENT(GST_MESSAGE_SRC(message)))) {
            case LostErrorTracer::Verdict::undecided:
                ++it;
                break;
            case LostErrorTracer::Verdict::withdrawn:
                gst_message_unref(message);
                it = lost.erase(it);
                break;
            case LostErrorTracer::Verdict::fatal: {
                const GValue* error = gst_structure_get_value(gst_message_get_structure(message), "error");
                return finish(false, mediaFailureText(GST_MESSAGE(g_value_get_boxed(error)), m_url));
            }
            }
        }
    }
}

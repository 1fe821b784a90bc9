#include "playerpipeline.h"

#include "audiooutput.h"
#include "audiotap.h"
#include "filedescriptors.h"
#include "losterrortracer.h"
#include "pipelineworkers.h"
#include "stillimage.h"
#include "videooutput.h"

#include <QSize>
#include <gst/gst.h>

namespace {

// playbin flags: video, audio and its software volume; no subtitles, no converters of its own before our sinks.
constexpr guint playFlags = 0x1 | 0x2 | 0x10 | 0x40;
// A pipeline's bus, the file, the sound device and a hardware decoder's device, with room to spare.
constexpr int pipelineDescriptors = 16;

// Pipelines made but not yet prerolled: their streaming threads open the file, decoders and the sound device after
// the build returns, so the descriptors they will take are not yet counted in /proc. Builds on several workers at
// once count them as taken, under one lock, so that together they never pass the reserve.
std::mutex startingLock;
int startingPipelines = 0;

bool reserveStart()
{
    std::scoped_lock hold(startingLock);
    if (!FileDescriptors::canSpare(pipelineDescriptors * (startingPipelines + 1)))
        return false;
    ++startingPipelines;
    return true;
}

void endStart()
{
    std::scoped_lock hold(startingLock);
    --startingPipelines;
}

// A video stream that claims a picture too large to decode finds no decoder and is dropped, and the item would play
// on black (with its sound, if any) rather than fail. The stream's caps, size included, come with the report of a
// stream without decoder, on the streaming thread: they are passed on to the player as a message.
void watchForOversizeStreams(GstElement* element)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "uridecodebin") != 0)
        return;
    const auto unknownType = +[](GstElement* bin, GstPad*, GstCaps* caps, gpointer) {
        const GstStructure* stream = caps && gst_caps_get_size(caps) > 0 ? gst_caps_get_structure(caps, 0) : nullptr;
        int width = 0;
        int height = 0;
        if (!stream || !g_str_has_prefix(gst_structure_get_name(stream), "video/") ||
            !gst_structure_get_int(stream, "width", &width) || !gst_structure_get_int(stream, "height", &height) ||
            !isOversizeStill(QSize(width, height)))
            return;
        GstStructure* details = gst_structure_new(PlayerPipeline::oversizeName, "width", G_TYPE_INT, width, "height",
                                                  G_TYPE_INT, height, nullptr);
        gst_element_post_message(bin, gst_message_new_application(GST_OBJECT(bin), details));
    };
    g_signal_connect(element, "unknown-type", G_CALLBACK(unknownType), nullptr);
}

} // namespace

std::atomic<int> PlayerPipeline::s_alive{0};

int PlayerPipeline::alive()
{
    return s_alive;
}

PlayerPipeline::Made PlayerPipeline::build(const Settings& settings)
{
    Made made;
    if (!reserveStart()) {
        made.failure = FileDescriptors::shortageText();
        made.shortOfDescriptors = true;
        return made;
    }
    std::shared_ptr<PlayerPipeline> pipeline(new PlayerPipeline);
    pipeline->m_starting = true;
    if (const std::optional<QString> failure = pipeline->make(settings)) {
        made.failure = *failure;
        return made;
    }
    g_object_set(pipeline->m_pipeline, "uri", settings.uri.constData(), nullptr);
    made.startFailed = gst_element_set_state(pipeline->m_pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE;
    made.pipeline = std::move(pipeline);
    return made;
}

// None when the pipeline is made, else why it could not be.
std::optional<QString> PlayerPipeline::make(const Settings& settings)
{
    m_pipeline = gst_element_factory_make("playbin", nullptr);
    if (!m_pipeline)
        return QStringLiteral("无法创建播放器");
    ++s_alive;
    gst_object_ref_sink(m_pipeline);
    m_tap = std::make_unique<AudioTap>();
    m_video = std::make_unique<VideoOutput>();
    m_video->setHoldPrerolledFrame(settings.holdPrerolledFrame);
    GstClock* clock = gst_system_clock_obtain();
    g_object_set(clock, "clock-type", GST_CLOCK_TYPE_MONOTONIC, nullptr);
    gst_pipeline_use_clock(GST_PIPELINE(m_pipeline), clock);
    gst_object_unref(clock);
    g_object_set(m_pipeline, "flags", playFlags, "video-sink", m_video->element(), "audio-sink", makeAudioSink(),
                 "audio-filter", m_tap->element(), "volume", settings.volume, "mute", gboolean(settings.muted),
                 nullptr);
    const auto elementAdded =
        +[](GstBin*, GstBin*, GstElement* element, gpointer) { watchForOversizeStreams(element); };
    g_signal_connect(m_pipeline, "deep-element-added", G_CALLBACK(elementAdded), nullptr);
    const auto soundAdded = +[](GstBin*, GstBin*, GstElement* element, gpointer data) {
        static_cast<SoundClock*>(data)->elementAdded(element);
    };
    const auto soundRemoved = +[](GstBin*, GstBin*, GstElement* element, gpointer data) {
        static_cast<SoundClock*>(data)->elementRemoved(element);
    };
    g_signal_connect(m_pipeline, "deep-element-added", G_CALLBACK(soundAdded), &m_sound);
    g_signal_connect(m_pipeline, "deep-element-removed", G_CALLBACK(soundRemoved), &m_sound);
    m_video->setSoundDelay([this] { return m_sound.delay(); });
    m_bus = gst_element_get_bus(m_pipeline);
    const GstBusSyncHandler onMessage = [](GstBus*, GstMessage* message, gpointer data) {
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
            LostErrorTracer::delivered(message);
        auto* pipeline = static_cast<PlayerPipeline*>(data);
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR ||
            (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE &&
             GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline->m_pipeline)))
            pipeline->started();
        // A handler that drops a message owns the bus's reference to it: the queue takes that one over. An extra
        // reference here would keep every message, and through it its element and the whole pipeline, for ever.
        pipeline->enqueue(message);
        return GST_BUS_DROP;
    };
    gst_bus_set_sync_handler(m_bus, onMessage, this, nullptr);
    LostErrorTracer::watch(m_pipeline, [this](GstElement* source, GstMessage* error) {
        GstStructure* details = gst_structure_new(lostErrorName, "error", GST_TYPE_MESSAGE, error, nullptr);
        enqueue(gst_message_new_application(GST_OBJECT(source), details));
    });
    m_video->setFrameListener([this](const VideoFrame& frame) { forwardFrame(frame); });
    return std::nullopt;
}

void PlayerPipeline::started()
{
    if (m_starting.exchange(false))
        endStart();
}

PlayerPipeline::~PlayerPipeline()
{
    disconnect();
    started();
    if (!m_pipeline)
        return;
    LostErrorTracer::unwatch(m_pipeline);
    g_signal_handlers_disconnect_by_data(m_pipeline, &m_sound);
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
    for (GstMessage* message : takeMessages())
        gst_message_unref(message);
    gst_object_unref(m_bus);
    gst_object_unref(m_pipeline);
    m_video.reset();
    m_tap.reset();
    --s_alive;
}

void PlayerPipeline::release(std::shared_ptr<PlayerPipeline> pipeline)
{
    if (!pipeline)
        return;
    pipeline->disconnect();
    PlayerPipeline* released = pipeline.get();
    // Silent from now on: stopping takes a moment, and the item is no longer the show's.
    released->command([](PlayerPipeline& silenced) {
        if (silenced.m_pipeline)
            g_object_set(silenced.m_pipeline, "mute", TRUE, nullptr);
    });
    // The last reference goes on the worker, which stops and frees the pipeline once its commands are done.
    released->command([held = std::move(pipeline)](PlayerPipeline&) mutable { held.reset(); });
}

void PlayerPipeline::command(Command command)
{
    std::scoped_lock lock(m_commandLock);
    m_commands.push_back(std::move(command));
    if (m_commandsRunning)
        return;
    m_commandsRunning = true;
    PipelineWorkers::run([self = shared_from_this()] { self->runCommands(); });
}

void PlayerPipeline::runCommands()
{
    for (;;) {
        Command next;
        {
            std::scoped_lock lock(m_commandLock);
            if (m_commands.empty()) {
                m_commandsRunning = false;
                return;
            }
            next = std::move(m_commands.front());
            m_commands.pop_front();
        }
        next(*this);
    }
}

void PlayerPipeline::connect(Receiver receiver)
{
    std::scoped_lock lock(m_lock);
    m_receiver = std::move(receiver);
    if (!m_messages.empty() && m_receiver.messagesWaiting) {
        m_wakeQueued = true;
        m_receiver.messagesWaiting();
    }
    // A frame that arrived before is not announced again by the decoder.
    if (const std::optional<VideoFrame> frame = m_video ? m_video->currentFrame() : std::nullopt)
        if (m_receiver.frameDecoded)
            m_receiver.frameDecoded(*frame);
}

void PlayerPipeline::disconnect()
{
    std::scoped_lock lock(m_lock);
    m_receiver = {};
}

std::deque<GstMessage*> PlayerPipeline::takeMessages()
{
    std::deque<GstMessage*> taken;
    std::scoped_lock lock(m_lock);
    taken.swap(m_messages);
    m_wakeQueued = false;
    return taken;
}

void PlayerPipeline::enqueue(GstMessage* message)
{
    std::scoped_lock lock(m_lock);
    m_messages.push_back(message);
    if (m_wakeQueued || !m_receiver.messagesWaiting)
        return;
    m_wakeQueued = true;
    m_receiver.messagesWaiting();
}

void PlayerPipeline::forwardFrame(const VideoFrame& frame)
{
    std::scoped_lock lock(m_lock);
    if (m_receiver.frameDecoded)
        m_receiver.frameDecoded(frame);
}

std::shared_ptr<PipelineBuild> PipelineBuild::start(const PlayerPipeline::Settings& settings,
                                                    std::function<void()> arrived)
{
    auto build = std::make_shared<PipelineBuild>();
    build->m_arrived = std::move(arrived);
    PipelineWorkers::run([build, settings] { build->finish(PlayerPipeline::build(settings)); });
    return build;
}

void PipelineBuild::finish(PlayerPipeline::Made made)
{
    {
        std::scoped_lock lock(m_lock);
        if (m_wanted) {
            m_made = std::move(made);
            m_arrived();
            return;
        }
    }
    // Nobody wants it any more: it is stopped right here, already on a worker.
    made.pipeline.reset();
}

std::optional<PlayerPipeline::Made> PipelineBuild::take()
{
    std::scoped_lock lock(m_lock);
    std::optional<PlayerPipeline::Made> made = std::move(m_made);
    m_made.reset();
    return made;
}

void PipelineBuild::cancel()
{
    std::optional<PlayerPipeline::Made> made;
    {
        std::scoped_lock lock(m_lock);
        m_wanted = false;
        m_arrived = {};
        made.swap(m_made);
    }
    if (made)
        PlayerPipeline::release(std::move(made->pipeline));
}

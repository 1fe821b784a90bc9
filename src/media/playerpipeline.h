#pragma once

#include "soundclock.h"
#include "videoframe.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class AudioTap;
class VideoOutput;
typedef struct _GstBus GstBus;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// One item's playbin with its video and audio sinks. It is made and starts prerolling on a pipeline worker, is
// driven by the commands its player hands over while its item is current, and is stopped and freed on a worker
// again. What it posts and decodes reaches the player only while the player is connected to it.
class PlayerPipeline : public std::enable_shared_from_this<PlayerPipeline>
{
  public:
    struct Settings
    {
        QByteArray uri;
        double volume = 1;
        bool muted = false;
        // Set (by the player, any time) while the first frame is to be held back until playing.
        std::shared_ptr<std::atomic<bool>> holdPrerolledFrame;
    };
    // What a build gives: the pipeline, prerolling, or why none could be made.
    struct Made
    {
        std::shared_ptr<PlayerPipeline> pipeline;
        QString failure;
        // Going to PAUSED failed at once: the reason, if any, waits among the pipeline's messages.
        bool startFailed = false;
        bool shortOfDescriptors = false;
    };
    // Called with the pipeline's messages waiting and with each decoded frame, on the thread that posted or decoded
    // it; called with the connection's lock held, so that disconnecting waits for a call in progress.
    struct Receiver
    {
        std::function<void()> messagesWaiting;
        std::function<void(const VideoFrame& frame)> frameDecoded;
    };

    // The application messages the pipeline posts: an error a bin dropped, a picture too large to decode.
    static constexpr const char* lostErrorName = "lumo-lost-error";
    static constexpr const char* oversizeName = "lumo-oversize-picture";

    // Makes the pipeline for the uri and starts its preroll. Blocks for milliseconds: on a worker.
    static Made build(const Settings& settings);
    // Cuts the pipeline off from its player at once and stops and frees it on a worker, after the commands before.
    static void release(std::shared_ptr<PlayerPipeline> pipeline);
    // Pipelines made and not yet freed, in the whole process.
    static int alive();

    // Stops the pipeline, waiting for its streaming threads: on a worker (release() takes it there).
    ~PlayerPipeline();
    PlayerPipeline(const PlayerPipeline&) = delete;
    PlayerPipeline& operator=(const PlayerPipeline&) = delete;

    GstElement* element() const { return m_pipeline; }
    AudioTap& tap() const { return *m_tap; }
    VideoOutput& video() const { return *m_video; }

    // From now on the receiver hears of messages and frames; messages posted before, and the frame prerolled
    // before, are passed on at once.
    void connect(Receiver receiver);
    // Once this returns, the receiver is not running and is never called again.
    void disconnect();
    // The messages posted since the last call, oldest first; the caller owns them.
    std::deque<GstMessage*> takeMessages();

    // Runs the command with the playbin on a pipeline worker, after every command given before it. A state change,
    // a seek or a query may wait there for the streaming threads, and through them for a file whose folder does not
    // answer: the thread that drives the player never calls into the pipeline itself.
    using Command = std::function<void(PlayerPipeline& pipeline)>;
    void command(Command command);

  private:
    PlayerPipeline() = default;
    std::optional<QString> make(const Settings& settings);
    void enqueue(GstMessage* message);
    void forwardFrame(const VideoFrame& frame);
    // Its preroll ended (or failed): what it opens is in the process's count from now on.
    void started();
    void runCommands();

    GstElement* m_pipeline = nullptr;
    GstBus* m_bus = nullptr;
    std::unique_ptr<AudioTap> m_tap;
    std::unique_ptr<VideoOutput> m_video;
    // The audio sink, whose delay the video frames wait for.
    SoundClock m_sound;
    // Guards the receiver and the messages; the posting and decoding threads take it.
    std::mutex m_lock;
    Receiver m_receiver;
    std::deque<GstMessage*> m_messages;
    bool m_wakeQueued = false;
    std::atomic<bool> m_starting{false};
    std::mutex m_commandLock;
    std::deque<Command> m_commands;
    // A worker is running the commands: one at a time, in the order given.
    bool m_commandsRunning = false;
    static std::atomic<int> s_alive;
};

// A pipeline being made on a worker for a player's item. Cancelled (by the next load, a clear or the player's end),
// it releases whatever was or will be made, and never calls back.
class PipelineBuild
{
  public:
    // Starts the build; arrived is called on the worker once take() has the result, unless cancelled first.
    static std::shared_ptr<PipelineBuild> start(const PlayerPipeline::Settings& settings,
                                                std::function<void()> arrived);
    std::optional<PlayerPipeline::Made> take();
    // Once this returns, arrived is not running and is never called.
    void cancel();

  private:
    void finish(PlayerPipeline::Made made);

    std::mutex m_lock;
    bool m_wanted = true;
    std::optional<PlayerPipeline::Made> m_made;
    std::function<void()> m_arrived;
};

#include "gstplayer.h"

#include "audiotap.h"
#include "filedescriptors.h"
#include "folderwatch.h"
#include "gstinit.h"
#include "lookaside.h"
#include "lookreplies.h"
#include "losterrortracer.h"
#include "mediafailure.h"
#include "mediafile.h"
#include "playerpipeline.h"
#include "seektarget.h"
#include "stillimage.h"
#include "videooutput.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <deque>
#include <gst/gst.h>
#include <sys/stat.h>

namespace {

// A load that neither prerolls nor fails in this time, while its file's folder answers, is reported as failed rather
// than left hanging. Errors that decodebin drops are recovered by LostErrorTracer; this is the last resort for a
// pipeline stuck without any.
constexpr int loadTimeoutMs = 8000;
// How often an error dropped while decodebin was still trying its element is looked at again until the trial ends.
constexpr int trialPollMs = 10;
// A playing item that has shown no new frame (or, without a picture, whose position has not moved) for this long has
// stopped delivering.
// Generous, so that a machine under heavy load (a sanitized build on a busy CI runner) is not taken for a stall.
constexpr int stallTimeoutMs = 10000;
constexpr int stallCheckMs = 1000;
// How long a reported position serves before a look at the position asks the pipeline again: in between, a playing
// item's position is reckoned on from the last report by the clock.
constexpr std::chrono::milliseconds positionFreshness{100};

// A file changed where it lies keeps its identity but not its size or time of change; a file replaced by another
// (or removed) leaves the open one as it was.
bool changedInPlace(const FileStamp& then, const FileStamp& now)
{
    return then.exists && now.exists && now.device == then.device && now.inode == then.inode &&
           (now.size != then.size || now.modified != then.modified);
}

// What a look at an item's file found before its pipeline is made. Whether it is an MP4 cut short before its index
// is asked here, ahead, so that a failure says so at once rather than asking the file then.
struct FileLook
{
    std::optional<QString> failure;
    FileStamp stamp;
    bool incomplete = false;

    static FileLook at(const QString& path)
    {
        if (!isReadableFileAt(path))
            return {unreadableFileText(path), {}};
        return {std::nullopt, fileStampAt(path), isIncompleteIsoFile(path)};
    }
};

QString rewrittenText()
{
    return QStringLiteral("文件在播放中被改写或截断");
}

gint64 toNanoseconds(double seconds)
{
    return gint64(std::max(seconds, 0.0) * GST_SECOND);
}

enum class Target { paused, playing };

struct PendingSeek
{
    double position = 0;
    SeekMode mode = SeekMode::exact;
};

// What a playing item has shown, and where its pipeline last said it stood: whether it moves on.
struct Progress
{
    std::uint64_t frame = 0;
    double position = -1;
    // It shows a picture that goes on: only new frames count then.
    bool picture = false;

    bool movedSince(const Progress& before) const
    {
        return frame != before.frame || (!picture && position != before.position);
    }
};

// Where the pipeline said its item stood, and when it was asked.
struct PositionReport
{
    double position = 0;
    HostTime at;
};

} // namespace

struct GstPlayer::Private
{
    GstPlayer* q = nullptr;
    // The current item's pipeline, once made; none while the player holds no item, so an idle player costs no
    // descriptors. Each item gets a pipeline of its own, made and stopped on a pipeline worker, and driven by commands
    // that run there: this thread never calls into it, as the pipeline may wait for its file's folder.
    std::shared_ptr<PlayerPipeline> pipeline;
    // The current item's pipeline while it is still being made.
    std::shared_ptr<PipelineBuild> build;
    std::shared_ptr<AudioChannelMixer> mixer;
    double volume = 1;
    bool muted = false;
    // A frame announcement is on its way to the main thread; later frames ride along with it.
    std::atomic<bool> frameQueued{false};
    QTimer loadTimer;
    QString lastWarning;
    // Runs from the load on: a load that takes long, and a playing item that makes no progress, have their folder
    // watched.
    QTimer stallTimer;
    // Since when a playing item has made no progress; invalid while it is not expected to make any.
    QElapsedTimer stalledFor;
    // Checks in a row without progress: a process frozen as a whole (swapped out, stopped) misses checks, and is given
    // the full count after it wakes rather than failing on the time that passed while it slept.
    int stalledChecks = 0;
    Progress lastProgress;
    // Whether the item's folder answers while the item waits on it: time during which it was silent is not counted.
    std::unique_ptr<FolderWatch> folder;

    QUrl url;
    // The url as GStreamer was given it, for looking at the file when it fails.
    QUrl fileUrl;
    PlayerStatus status = PlayerStatus::empty;
    QString error;
    quint64 generation = newGeneration();
    Target target = Target::paused;
    std::optional<HostTime> startAt;
    std::optional<PendingSeek> pendingSeek;
    bool seeking = false;
    // Prerolled at the item's start by its load and neither moved nor played since: its running time 0 is the start,
    // so a start there is timed without a seek.
    bool atStart = false;
    bool ended = false;
    double rate = 1;
    // Where the item stands as this thread knows it: the position at movingFrom, from which it moves on at the rate
    // while it plays, or where it holds. Set as commands are given, and corrected by what the pipeline reports.
    double position = 0;
    std::optional<HostTime> movingFrom;
    // When the current play began (or begins, for a start at a host time): a report from before says where it begins.
    HostTime playsFrom;
    // Counts the changes of position made here: a report asked for before the last one is out of date.
    quint64 positionChanges = 0;
    bool positionAsked = false;
    HostTime positionAskedAt;
    // The position the pipeline last reported itself, for telling whether it makes progress.
    double reportedPosition = -1;
    // The item's length as its pipeline told it once prerolled; asked for before the item counts as ready.
    std::optional<double> length;
    bool lengthTold = false;
    // Counts seeks, so that the refusal of one replaced since is not taken for the refusal of the one on its way.
    quint64 seeks = 0;
    // The file's stamp when its load began, and whether it ended before its index then.
    FileStamp file;
    bool fileIncomplete = false;
    // The current item's first frame waits for its start; shared with the item's pipeline.
    std::shared_ptr<std::atomic<bool>> holdFirstFrame;
    // The item's file is being looked at before the item ends or fails.
    bool lookingAtFile = false;
    std::unique_ptr<LookReplies> replies;

    VideoOutput* video() const { return pipeline ? &pipeline->video() : nullptr; }
    void command(PlayerPipeline::Command command)
    {
        if (pipeline)
            pipeline->command(std::move(command));
    }
    template <typename Answer>
    void ask(std::function<Answer(PlayerPipeline&)> question, std::function<void(const Answer&)> answered);
    double positionNow() const;
    void holdAt(double at);
    void moveOnFrom(HostTime from);
    void askPosition();
    void measure();
    void startBuild(const QByteArray& uri);
    void looked(quint64 item, const QByteArray& uri, const FileLook& look);
    void adopt();
    void releasePipeline();
    void stop();
    void drain();
    void handle(GstMessage* message);
    void lostError(const std::shared_ptr<GstMessage>& message);
    void loadTimedOut();
    void giveUpLoad();
    void prerolled();
    void settled();
    void fail(const QString& reason);
    void setStatus(PlayerStatus value);
    void seekNow(const PendingSeek& seek);
    void applyTarget();
    void reachedEnd();
    bool expectsProgress() const;
    Progress progress() const;
    bool progressTimeUp() const;
    void checkProgress();
    void folderAnswered(const FolderWatch::Answer& answer);
    void lookAtFile(std::function<bool()> look, std::function<void(bool)> then);
    void whenChangedInPlace(std::function<void(bool)> then);
    void failWith(GstMessage* error);
    void oversizeStream(GstMessage* message);
};

GstPlayer::GstPlayer(QObject* parent) : Player(parent), d(std::make_unique<Private>())
{
    initGstreamer();
    d->q = this;
    d->replies = std::make_unique<LookReplies>(this);
    d->folder =
        std::make_unique<FolderWatch>(this, [this](const FolderWatch::Answer& answer) { d->folderAnswered(answer); });
    d->loadTimer.setSingleShot(true);
    d->loadTimer.setInterval(loadTimeoutMs);
    connect(&d->loadTimer, &QTimer::timeout, this, [this] { d->loadTimedOut(); });
    d->stallTimer.setInterval(stallCheckMs);
    connect(&d->stallTimer, &QTimer::timeout, this, [this] { d->checkProgress(); });
}

// The pipeline is stopped on a worker; nothing of it reaches this player once it is gone.
GstPlayer::~GstPlayer()
{
    d->releasePipeline();
}

// The item's pipeline is made on a worker and taken over here when done; what it posts meanwhile waits in it.
void GstPlayer::Private::startBuild(const QByteArray& uri)
{
    const PlayerPipeline::Settings settings{uri, volume, muted, holdFirstFrame};
    // The worker calls back with the build's lock held, and the player cancels the build before it goes.
    build = PipelineBuild::start(settings, [this] {
        QMetaObject::invokeMethod(
            q, [this] { adopt(); }, Qt::QueuedConnection);
    });
}

// The file of the item still loading was looked at: an unreadable one fails, a readable one starts its build.
void GstPlayer::Private::looked(quint64 item, const QByteArray& uri, const FileLook& look)
{
    if (item != generation || status != PlayerStatus::loading)
        return;
    if (look.failure) {
        fail(*look.failure);
        return;
    }
    file = look.stamp;
    fileIncomplete = look.incomplete;
    // The time a silent folder kept the look waiting is not the load's.
    loadTimer.start();
    startBuild(uri);
}

// A build cancelled after it called back leaves nothing to take: a later one is still on its way.
void GstPlayer::Private::adopt()
{
    std::optional<PlayerPipeline::Made> made = build ? build->take() : std::nullopt;
    if (!made)
        return;
    build.reset();
    if (!made->pipeline) {
        fail(made->failure);
        if (made->shortOfDescriptors)
            DescriptorShortage::shared().report();
        return;
    }
    pipeline = std::move(made->pipeline);
    // Settings changed while the pipeline was being made.
    command([volume = volume, muted = muted](PlayerPipeline& driven) {
        g_object_set(driven.element(), "volume", volume, "mute", gboolean(muted), nullptr);
    });
    pipeline->tap().setMixer(mixer);
    const quint64 item = generation;
    PlayerPipeline::Receiver receiver;
    receiver.messagesWaiting = [this] {
        QMetaObject::invokeMethod(
            q, [this] { drain(); }, Qt::QueuedConnection);
    };
    receiver.frameDecoded = [this, item](const VideoFrame& frame) {
        q->frameDecoded(frame, item);
        if (frameQueued.exchange(true))
            return;
        QMetaObject::invokeMethod(
            q,
            [this] {
                frameQueued = false;
                emit q->frameArrived();
            },
            Qt::QueuedConnection);
    };
    pipeline->connect(std::move(receiver));
    if (!made->startFailed)
        return;
    // The error message among those posted carries the reason; this covers a failure that posts none.
    drain();
    if (generation == item && status == PlayerStatus::loading)
        fail(QStringLiteral("无法打开文件"));
}

void GstPlayer::Private::releasePipeline()
{
    if (build) {
        build->cancel();
        build.reset();
    }
    PlayerPipeline::release(std::move(pipeline));
}

void GstPlayer::Private::stop()
{
    releasePipeline();
    mixer.reset();
    loadTimer.stop();
    stallTimer.stop();
    stalledFor.invalidate();
    folder->watch({});
    file = {};
    fileIncomplete = false;
    generation = newGeneration();
    target = Target::paused;
    startAt.reset();
    pendingSeek.reset();
    seeking = false;
    atStart = false;
    ended = false;
    lookingAtFile = false;
    holdAt(0);
    positionAsked = false;
    reportedPosition = -1;
    length.reset();
    lengthTold = false;
    error.clear();
    lastWarning.clear();
}

void GstPlayer::load(const QUrl& url)
{
    d->stop();
    d->url = url;
    d->setStatus(PlayerStatus::loading);
    const QByteArray uri = url.isLocalFile() || url.scheme().isEmpty()
                               ? QUrl::fromLocalFile(url.isLocalFile() ? url.toLocalFile() : url.path()).toEncoded()
                               : url.toEncoded();
    d->fileUrl = QUrl::fromEncoded(uri);
    d->loadTimer.start();
    d->stallTimer.start();
    d->folder->watch(d->fileUrl);
    d->atStart = true;
    d->holdFirstFrame = std::make_shared<std::atomic<bool>>(false);
    if (!d->fileUrl.isLocalFile()) {
        d->startBuild(uri);
        return;
    }
    // GStreamer's file source opens the file in a state change: a FIFO would hold its worker for ever. The file is
    // looked at on a thread of its own first, as a folder that does not answer must hold neither this thread nor
    // the pipeline workers. The load waits for that look however long its folder is silent, and its time begins
    // again once the look comes back.
    const quint64 generation = d->generation;
    const QString path = d->fileUrl.toLocalFile();
    lookAside<FileLook>([path] { return FileLook::at(path); },
                        [player = QPointer<GstPlayer>(this), generation, uri](const FileLook& look) {
                            if (QCoreApplication* application = QCoreApplication::instance())
                                QMetaObject::invokeMethod(
                                    application,
                                    [player, generation, uri, look] {
                                        if (player)
                                            player->d->looked(generation, uri, look);
                                    },
                                    Qt::QueuedConnection);
                        });
}

void GstPlayer::clear()
{
    if (d->status == PlayerStatus::empty)
        return;
    d->stop();
    d->url.clear();
    d->setStatus(PlayerStatus::empty);
}

QUrl GstPlayer::url() const
{
    return d->url;
}
PlayerStatus GstPlayer::status() const
{
    return d->status;
}
QString GstPlayer::errorText() const
{
    return d->error;
}
quint64 GstPlayer::generation() const
{
    return d->generation;
}

void GstPlayer::play()
{
    if (d->status != PlayerStatus::loading && d->status != PlayerStatus::ready)
        return;
    d->target = Target::playing;
    d->startAt.reset();
    d->applyTarget();
}

void GstPlayer::playAt(double position, HostTime start)
{
    if (d->status != PlayerStatus::loading && d->status != PlayerStatus::ready)
        return;
    d->target = Target::playing;
    d->startAt = start;
    // A start at the beginning of an item prerolled there by its load needs no seek, which would wait for the
    // streaming threads to flush.
    if (position <= 0 && d->atStart && d->rate == 1 && !d->seeking && !d->pendingSeek) {
        d->applyTarget();
        return;
    }
    // The start is timed from a fresh preroll at the position: pause there first, then run on the shared clock. A
    // pipeline still being made prerolls there anyway.
    d->command([](PlayerPipeline& driven) { gst_element_set_state(driven.element(), GST_STATE_PAUSED); });
    seek(position, SeekMode::exact);
}

void GstPlayer::awaitStart()
{
    // A frame already prerolled is on show: holding it now would take it away again.
    if (d->status == PlayerStatus::loading && d->holdFirstFrame && !(d->pipeline && d->video()->currentFrame()))
        *d->holdFirstFrame = true;
}

void GstPlayer::pause()
{
    if (d->status != PlayerStatus::loading && d->status != PlayerStatus::ready)
        return;
    d->target = Target::paused;
    d->startAt.reset();
    d->applyTarget();
}

bool GstPlayer::isPlaying() const
{
    return d->target == Target::playing && d->status == PlayerStatus::ready;
}

void GstPlayer::seek(double seconds, SeekMode mode)
{
    if (d->status != PlayerStatus::loading && d->status != PlayerStatus::ready)
        return;
    const PendingSeek seek{seconds, mode};
    d->holdAt(std::max(seconds, 0.0));
    if (d->status == PlayerStatus::loading || d->seeking) {
        d->pendingSeek = seek;
        return;
    }
    d->seekNow(seek);
}

void GstPlayer::setRate(double rate)
{
    if (rate <= 0 || rate == d->rate)
        return;
    d->rate = rate;
    if (d->status == PlayerStatus::ready)
        seek(currentTime(), SeekMode::exact);
}

double GstPlayer::rate() const
{
    return d->rate;
}

void GstPlayer::setVolume(float volume)
{
    d->volume = double(std::clamp(volume, 0.f, 1.f));
    d->command(
        [volume = d->volume](PlayerPipeline& driven) { g_object_set(driven.element(), "volume", volume, nullptr); });
}

float GstPlayer::volume() const
{
    return float(d->volume);
}

void GstPlayer::setMuted(bool muted)
{
    d->muted = muted;
    d->command([muted](PlayerPipeline& driven) { g_object_set(driven.element(), "mute", gboolean(muted), nullptr); });
}

bool GstPlayer::isMuted() const
{
    return d->muted;
}

// Reckoned from the pipeline's last report, which is asked again once it is a little old.
double GstPlayer::currentTime() const
{
    if (d->status == PlayerStatus::ready && HostClock::now() - d->positionAskedAt >= positionFreshness)
        d->askPosition();
    return d->positionNow();
}

std::optional<double> GstPlayer::duration() const
{
    if (d->status != PlayerStatus::ready)
        return std::nullopt;
    return d->length;
}

void GstPlayer::setAudioMixer(std::shared_ptr<AudioChannelMixer> mixer)
{
    if (d->status == PlayerStatus::empty)
        return;
    // Kept for a pipeline still being made.
    d->mixer = std::move(mixer);
    if (d->pipeline)
        d->pipeline->tap().setMixer(d->mixer);
}

std::optional<VideoFrame> GstPlayer::currentFrame() const
{
    if (d->status == PlayerStatus::empty || !d->pipeline)
        return std::nullopt;
    return d->video()->currentFrame();
}

GstElement* GstPlayer::pipelineElement() const
{
    return d->pipeline ? d->pipeline->element() : nullptr;
}

// The answer comes back to this thread for the item it was asked about, once the commands before it have run.
template <typename Answer>
void GstPlayer::Private::ask(std::function<Answer(PlayerPipeline&)> question,
                             std::function<void(const Answer&)> answered)
{
    command([question = std::move(question), answered = std::move(answered), player = QPointer<GstPlayer>(q),
             item = generation](PlayerPipeline& asked) {
        const Answer answer = question(asked);
        if (QCoreApplication* application = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                application,
                [player, item, answered, answer] {
                    if (player && player->d->generation == item)
                        answered(answer);
                },
                Qt::QueuedConnection);
    });
}

double GstPlayer::Private::positionNow() const
{
    if (!movingFrom)
        return position;
    const double since = std::chrono::duration<double>(HostClock::now() - *movingFrom).count();
    const double at = position + std::max(since, 0.0) * rate;
    return length ? std::min(at, *length) : at;
}

void GstPlayer::Private::holdAt(double at)
{
    position = at;
    movingFrom.reset();
    ++positionChanges;
}

void GstPlayer::Private::moveOnFrom(HostTime from)
{
    position = positionNow();
    movingFrom = from;
    playsFrom = from;
    ++positionChanges;
}

// The pipeline's sinks tell the position by the clock; a report taken before this thread's last change of position
// is out of date, and one taken before a timed start says where it begins.
void GstPlayer::Private::askPosition()
{
    if (positionAsked || !pipeline)
        return;
    positionAsked = true;
    positionAskedAt = HostClock::now();
    ask<std::optional<PositionReport>>(
        [](PlayerPipeline& asked) -> std::optional<PositionReport> {
            const HostTime at = HostClock::now();
            gint64 position = 0;
            if (!gst_element_query_position(asked.element(), GST_FORMAT_TIME, &position) || position < 0)
                return std::nullopt;
            return PositionReport{double(position) / GST_SECOND, at};
        },
        [this, changes = positionChanges](const std::optional<PositionReport>& report) {
            positionAsked = false;
            if (!report)
                return;
            reportedPosition = report->position;
            if (changes != positionChanges || status != PlayerStatus::ready || seeking || pendingSeek || ended)
                return;
            position = report->position;
            if (movingFrom)
                movingFrom = std::max(report->at, playsFrom);
        });
}

// The length is asked for once the item has prerolled, and the item is ready once it is known (or known to be none).
void GstPlayer::Private::measure()
{
    ask<std::optional<double>>(
        [](PlayerPipeline& asked) -> std::optional<double> {
            gint64 duration = 0;
            if (!gst_element_query_duration(asked.element(), GST_FORMAT_TIME, &duration) || duration <= 0)
                return std::nullopt;
            return double(duration) / GST_SECOND;
        },
        [this](const std::optional<double>& measured) {
            const bool first = !lengthTold;
            length = measured;
            lengthTold = true;
            if (first && status == PlayerStatus::loading)
                prerolled();
        });
}

void GstPlayer::Private::seekNow(const PendingSeek& seek)
{
    if (!pipeline)
        return;
    const auto flags = GstSeekFlags(GST_SEEK_FLAG_FLUSH |
                                    (seek.mode == SeekMode::exact ? GST_SEEK_FLAG_ACCURATE : GST_SEEK_FLAG_KEY_UNIT));
    const gint64 target = seek.mode == SeekMode::exact ? exactSeekTarget(seek.position) : toNanoseconds(seek.position);
    seeking = true;
    atStart = false;
    ended = false;
    holdAt(std::max(seek.position, 0.0));
    ask<bool>(
        [rate = rate, flags, target](PlayerPipeline& driven) {
            if (!gst_element_seek(driven.element(), rate, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, target,
                                  GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
                return false;
            // A flushing seek restarts running time at 0.
            gst_element_set_start_time(driven.element(), 0);
            return true;
        },
        [this, asked = ++seeks](bool done) {
            // A refused seek brings no preroll of its own: the item goes on from where it was.
            if (!done && seeking && asked == seeks)
                settled();
        });
}

void GstPlayer::Private::applyTarget()
{
    if (status != PlayerStatus::ready || seeking || pendingSeek || !pipeline)
        return;
    // From here on prerolled frames (of a seek while paused) show at once again; the one held comes as playing starts.
    if (holdFirstFrame)
        *holdFirstFrame = false;
    if (target == Target::paused) {
        holdAt(positionNow());
        command([](PlayerPipeline& driven) { gst_element_set_state(driven.element(), GST_STATE_PAUSED); });
        askPosition();
        return;
    }
    if (startAt) {
        const HostTime start = *startAt;
        startAt.reset();
        atStart = false;
        moveOnFrom(start);
        command([start](PlayerPipeline& driven) {
            GstElement* element = driven.element();
            // Running time 0 (the fresh preroll at the start position) falls on the shared host time.
            gst_element_set_start_time(element, GST_CLOCK_TIME_NONE);
            const auto host = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch());
            gst_element_set_base_time(element, GstClockTime(host.count()));
            driven.video().releaseHeldFrame(start);
            gst_element_set_state(element, GST_STATE_PLAYING);
            // Later pauses and resumes keep their own running time again.
            gst_element_set_start_time(element, 0);
        });
        return;
    }
    atStart = false;
    moveOnFrom(HostClock::now());
    command([](PlayerPipeline& driven) { gst_element_set_state(driven.element(), GST_STATE_PLAYING); });
}

void GstPlayer::Private::drain()
{
    if (!pipeline)
        return;
    const std::deque<GstMessage*> pending = pipeline->takeMessages();
    const QPointer<GstPlayer> alive(q);
    const quint64 current = generation;
    for (GstMessage* message : pending) {
        // A handler may have replaced the item or destroyed the player: the rest belongs to the old item.
        if (alive && generation == current)
            handle(message);
        gst_message_unref(message);
    }
}

void GstPlayer::Private::handle(GstMessage* message)
{
    if (status == PlayerStatus::empty || status == PlayerStatus::failed)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        failWith(message);
        break;
    case GST_MESSAGE_WARNING: {
        GError* err = nullptr;
        gst_message_parse_warning(message, &err, nullptr);
        lastWarning = QString::fromUtf8(err ? err->message : "");
        g_clear_error(&err);
        break;
    }
    case GST_MESSAGE_APPLICATION:
        if (gst_message_has_name(message, PlayerPipeline::lostErrorName))
            lostError(std::shared_ptr<GstMessage>(gst_message_ref(message), gst_message_unref));
        else if (gst_message_has_name(message, PlayerPipeline::oversizeName))
            oversizeStream(message);
        break;
    case GST_MESSAGE_EOS:
        if (status == PlayerStatus::ready && !ended && !seeking)
            reachedEnd();
        break;

    case GST_MESSAGE_ASYNC_DONE:
        if (status == PlayerStatus::loading && !lengthTold)
            measure();
        else
            prerolled();
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        if (lengthTold)
            measure();
        break;
    default:
        break;
    }
}

void GstPlayer::Private::lostError(const std::shared_ptr<GstMessage>& message)
{
    // Only a load can hang on a lost error, and a playing item must not fail on an error its bins chose to drop.
    if (status != PlayerStatus::loading)
        return;
    GstElement* source = GST_ELEMENT(GST_MESSAGE_SRC(message.get()));
    switch (LostErrorTracer::judge(pipeline->element(), source)) {
    case LostErrorTracer::Verdict::withdrawn:
        return;
    case LostErrorTracer::Verdict::undecided:
        QTimer::singleShot(trialPollMs, q, [this, message, current = generation] {
            if (generation == current)
                lostError(message);
        });
        return;
    case LostErrorTracer::Verdict::fatal:
        break;
    }
    const GValue* error = gst_structure_get_value(gst_message_get_structure(message.get()), "error");
    failWith(GST_MESSAGE(g_value_get_boxed(error)));
}

// The end of a file that was written over or cut short while it played is where the reading stopped, not the end of
// the media: the item failed.
void GstPlayer::Private::reachedEnd()
{
    if (lookingAtFile)
        return;
    whenChangedInPlace([this](bool changed) {
        if (changed) {
            fail(rewrittenText());
            return;
        }
        ended = true;
        holdAt(length.value_or(positionNow()));
        emit q->ended();
    });
}

// The item's file is looked at aside, and `then` runs with the answer on this thread, for the current item only. A
// file that has not answered within kLookDeadline is taken as the look's false: the item is not held for its folder.
void GstPlayer::Private::lookAtFile(std::function<bool()> look, std::function<void(bool)> then)
{
    lookingAtFile = true;
    const quint64 item = generation;
    const auto settled = std::make_shared<bool>(false);
    const auto once = [this, item, settled, then = std::move(then)](bool found) {
        if (*settled || item != generation || status == PlayerStatus::failed)
            return;
        *settled = true;
        lookingAtFile = false;
        then(found);
    };
    if (!replies->ask<bool>(std::move(look), once)) {
        once(false);
        return;
    }
    QTimer::singleShot(kLookDeadline, q, [once] { once(false); });
}

// A file that does not answer in time is not known to have changed.
void GstPlayer::Private::whenChangedInPlace(std::function<void(bool)> then)
{
    lookAtFile([url = fileUrl, before = file] { return changedInPlace(before, fileStamp(url)); }, std::move(then));
}

// The file was looked at when its load began: an error that may come of a file cut short says so when it was.
void GstPlayer::Private::failWith(GstMessage* error)
{
    fail(fileIncomplete && mayBeIncompleteFile(error, fileUrl) ? incompleteFileText() : mediaFailureWords(error));
}

bool GstPlayer::Private::expectsProgress() const
{
    return status == PlayerStatus::ready && target == Target::playing && !seeking && !pendingSeek && !ended;
}

// An item with a picture makes progress only by new frames, whatever its position says: a decoder handed zeros in
// place of the file's frames drops them without a word while the sound and the clock run on. Without a picture (a
// sound, or a video whose picture ended before its sound or pauses for a gap) the position counts.
Progress GstPlayer::Private::progress() const
{
    const std::optional<VideoFrame> frame = q->currentFrame();
    const VideoOutput* output = video();
    // What the pipeline itself last said, not where this thread reckons it to be.
    return {frame ? frame->serial() : 0, reportedPosition, frame && output && !output->streamIdle()};
}

bool GstPlayer::Private::progressTimeUp() const
{
    return stalledFor.isValid() && stalledFor.elapsed() >= stallTimeoutMs &&
           stalledChecks >= stallTimeoutMs / stallCheckMs;
}

// Runs every second from the load on. A load that has not prerolled within a second, and a playing item that has
// made no progress since the last check, have their folder looked at: the verdict waits for its answer.
void GstPlayer::Private::checkProgress()
{
    if (status == PlayerStatus::loading) {
        if (build || pipeline)
            folder->look();
        return;
    }
    if (lookingAtFile)
        return;
    if (!expectsProgress()) {
        stalledFor.invalidate();
        return;
    }
    const Progress now = progress();
    askPosition();
    if (!stalledFor.isValid() || now.movedSince(lastProgress)) {
        lastProgress = now;
        stalledFor.start();
        stalledChecks = 0;
        return;
    }
    ++stalledChecks;
    folder->look();
}

// A load whose time ran out, or a playing item that made no progress for its time, fails only on an answer that the
// folder gave at once: an item whose folder was silent waits for it, and has its whole time again from its answer.
void GstPlayer::Private::folderAnswered(const FolderWatch::Answer& answer)
{
    if (answer.wasSilent) {
        if (status == PlayerStatus::loading)
            loadTimer.start();
        if (stalledFor.isValid()) {
            stalledFor.start();
            stalledChecks = 0;
        }
        return;
    }
    if (status == PlayerStatus::loading) {
        if (!loadTimer.isActive() && (build || pipeline))
            giveUpLoad();
        return;
    }
    if (lookingAtFile || !expectsProgress() || !progressTimeUp())
        return;
    const Progress now = progress();
    if (now.movedSince(lastProgress))
        return;
    if (changedInPlace(file, answer.stamp))
        fail(rewrittenText());
    else
        fail(now.picture ? QStringLiteral("文件在播放中停止送出画面") : QStringLiteral("文件在播放中停止送出声音"));
}

void GstPlayer::Private::oversizeStream(GstMessage* message)
{
    if (status != PlayerStatus::loading)
        return;
    const GstStructure* details = gst_message_get_structure(message);
    int width = 0;
    int height = 0;
    gst_structure_get_int(details, "width", &width);
    gst_structure_get_int(details, "height", &height);
    fail(oversizePictureText(QSize(width, height)));
}

void GstPlayer::Private::loadTimedOut()
{
    // A file whose first look has not come back lies in a folder that has not answered: the answer starts the load's
    // time again.
    if (status != PlayerStatus::loading || (!build && !pipeline))
        return;
    // A folder that does not answer holds the load for as long as it is silent: the load waits for it, and is given
    // up only when the folder answers at once and the item has still not opened.
    folder->look();
}

void GstPlayer::Private::giveUpLoad()
{
    if (status != PlayerStatus::loading)
        return;
    // GStreamer's last warning is for whoever reads the log; the operator reads that the file never opened.
    if (!lastWarning.isEmpty())
        qWarning("Media did not open; last GStreamer warning: %s", qUtf8Printable(lastWarning));
    fail(QStringLiteral("文件在 %1 秒内没有打开").arg(loadTimeoutMs / 1000));
}

void GstPlayer::Private::prerolled()
{
    if (pendingSeek) {
        const PendingSeek seek = *pendingSeek;
        pendingSeek.reset();
        // Its own preroll, or its refusal, comes next.
        seekNow(seek);
        return;
    }
    settled();
}

void GstPlayer::Private::settled()
{
    seeking = false;
    if (status == PlayerStatus::loading) {
        loadTimer.stop();
        setStatus(PlayerStatus::ready);
    }
    applyTarget();
}

void GstPlayer::Private::fail(const QString& reason)
{
    // The pipeline is let go so that nothing of the broken item keeps running or holds the file.
    releasePipeline();
    loadTimer.stop();
    stallTimer.stop();
    error = reason;
    target = Target::paused;
    setStatus(PlayerStatus::failed);
    emit q->failed(reason);
}

void GstPlayer::Private::setStatus(PlayerStatus value)
{
    if (status == value)
        return;
    status = value;
    emit q->statusChanged(value);
}

PlayerFactory defaultPlayerFactory()
{
    return [](QObject* parent) -> std::unique_ptr<Player> { return std::make_unique<GstPlayer>(parent); };
}

#include "engine.h"

#include "assign.h"
#include "cuecycle.h"
#include "cuepreview.h"
#include "delayedtask.h"
#include "displaybindings.h"
#include "filequeue.h"
#include "mediafile.h"
#include "independentscreens.h"
#include "lightingoutput.h"
#include "measureddurations.h"
#include "picture.h"
#include "screendisplayprovider.h"
#include "showedit.h"
#include "steadyclock.h"
#include "stilldecoder.h"
#include "stillpreloads.h"
#include "timelineclock.h"
#include "timelinesender.h"

#include <QDir>
#include <limits>

using namespace std::chrono_literals;

static constexpr double kDragJoinSeconds = 0.4;

static Engine::Services completed(Engine::Services services)
{
    if (!services.clock)
        services.clock = std::make_shared<SteadyClock>();
    if (!services.displays)
        services.displays = std::make_shared<ScreenDisplayProvider>();
    if (!services.players)
        services.players = defaultPlayerFactory();
    if (!services.isReadableFile)
        services.isReadableFile = ::isReadableFile;
    return services;
}

Engine::Engine(bool monitorsDevices, std::shared_ptr<AudioChannelMixer> audioMixer, const QString& recoveryDirectory,
               Services services, QObject* parent)
    : QObject(parent), m_show(Show::makeDefault()), m_savedShow(Show::makeDefault()),
      m_lastDragChange(-std::numeric_limits<double>::infinity()), m_recoveryTask(new DelayedTask(700ms, this)),
      m_fileQueue(new FileQueue(this)),
      m_recoveryPath(QDir(recoveryDirectory).filePath(QStringLiteral("Recovery.json"))),
      m_parkedPath(QDir(recoveryDirectory).filePath(QStringLiteral("Parked.json"))), m_message(QStringLiteral("就绪")),
      m_pending(new DelayedTask(0ms, this)), m_timelineClock(new TimelineClock(this)),
      m_stillPreloads(std::make_unique<StillPreloads>()), m_sender(new TimelineSender(TimelineSender::kTimeout, this)),
      m_audioMixer(std::move(audioMixer)), m_services(completed(std::move(services))),
      m_displayBindings(new DisplayBindings(*this, m_services.displays, m_services.windows, this))
{
    m_independent = new IndependentScreens(*this);
    connect(m_independent, &IndependentScreens::changed, this, &Engine::independentScreensChanged);
    m_cuePreview = new CuePreview(*this);
    m_measuredDurations = std::make_unique<MeasuredDurations>();
    connect(m_cuePreview, &CuePreview::timelinePreviewed, this, &Engine::timelinePreviewed);
    connect(m_displayBindings, &DisplayBindings::displaysChanged, this, &Engine::displaysChanged);
    connect(m_displayBindings, &DisplayBindings::mappingsChanged, this, &Engine::mappingsChanged);
    m_lights = new LightingOutput([clock = m_services.clock] { return clock->uptime(); },
                                  m_services.artNetPort.value_or(ArtNet::kPort), this);
    m_lights->setStatusLine({[this] { return m_message; }, [this](const QString& text) { setMessage(text); }});
    connect(&StillDecoder::shared(), &StillDecoder::decoded, this, [this](const QString& path, const QImage& image) {
        showAwaitedStill(path);
        showDecodedDefaultPicture(path, image);
    });
    m_timelineTask.setTimerType(Qt::PreciseTimer);
    m_timelineTask.setInterval(15ms);
    connect(&m_timelineTask, &QTimer::timeout, this, &Engine::stepTimeline);
    const auto isPaused = [this] { return m_paused; };
    m_cueCycle = new CueCycle(m_services.clock, isPaused, this);
    for (Bus bus : allCases<Bus>())
        m_audio[size_t(bus)] = m_services.players(this).release();
    syncScreens();
    selectFirstCueUnlessPresent();
    if (!monitorsDevices)
        return;
    m_tracksProjectEdits = true;
    m_savedShow = m_show;
    adoptLeftoverRecovery();
    m_lights->startTicking();
    connect(
        m_services.displays.get(), &DisplayProvider::displaysChanged, this,
        [this] {
            m_displayBindings->reloadDisplays();
            restoreDisplayBindings();
        },
        Qt::QueuedConnection);
}

Engine::~Engine()
{
    delete m_displayBindings;
}

Player* Engine::audioPlayer(Bus bus) const
{
    return m_audio[size_t(bus)];
}

RemoteHost* Engine::remoteHost()
{
    if (!m_remoteHost && m_services.makeRemoteHost)
        m_remoteHost = m_services.makeRemoteHost(this);
    return m_remoteHost;
}

void Engine::setShow(Show show)
{
    if (show == m_show)
        return;
    const Show previous = std::exchange(m_show, std::move(show));
    emit showChanged();
    projectChanged(previous);
    // Any edit can change the screen list (a side file makes a second screen), and every screen needs its pictures.
    if (previous.screens() != m_show.screens())
        syncScreens();
    dropDelayOfRemovedCue();
}

void Engine::setSelected(std::optional<QUuid> id)
{
    if (assign(m_selected, std::move(id)))
        emit selectedChanged();
}

void Engine::setCurrent(std::optional<Cue> cue)
{
    if (assign(m_current, std::move(cue)))
        emit currentChanged();
}

void Engine::setPaused(bool paused)
{
    if (assign(m_paused, paused))
        emit pausedChanged();
}

void Engine::setProjectionMode(std::optional<ProjectionMode> mode)
{
    if (assign(m_projectionMode, mode))
        emit projectionModeChanged();
}

void Engine::setProjectionPosition(const QString& position)
{
    if (assign(m_projectionPosition, position))
        emit projectionPositionChanged();
}

void Engine::setMessage(const QString& message)
{
    if (assign(m_message, message))
        emit messageChanged();
}

void Engine::setFocusEvent(std::optional<QUuid> id)
{
    if (assign(m_focusEvent, std::move(id)))
        emit focusEventChanged();
}

void Engine::setProjectionTestPattern(bool on)
{
    if (assign(m_projectionTestPattern, on))
        emit projectionTestPatternChanged();
}

void Engine::setHasUnsavedChanges(bool unsaved)
{
    if (assign(m_hasUnsavedChanges, unsaved))
        emit hasUnsavedChangesChanged();
}

void Engine::setCanRecoverProject(bool can)
{
    if (assign(m_canRecoverProject, can))
        emit canRecoverProjectChanged();
}

void Engine::setProjectURL(std::optional<QUrl> url)
{
    if (assign(m_projectURL, std::move(url)))
        emit projectURLChanged();
}

void Engine::selectFirstCueUnlessPresent()
{
    const bool present = m_selected && std::any_of(m_show.cues.cbegin(), m_show.cues.cend(),
                                                   [this](const Cue& cue) { return cue.id == *m_selected; });
    if (present)
        return;
    setSelected(m_show.cues.isEmpty() ? std::nullopt : std::optional(m_show.cues.first().id));
}

void Engine::projectChanged(const Show& previous)
{
    if (!m_tracksProjectEdits || m_loadingProject || previous == m_show)
        return;
    const bool drag = m_dragDepth > 0;
    const double now = m_services.clock->uptime();
    if (!m_restoringEdit)
        recordEdit(previous, drag, now);
    m_lastDragChange = drag ? now : -std::numeric_limits<double>::infinity();
    setHasUnsavedChanges(m_show != m_savedShow);
    queueRecovery();
}

// An open edit group, or a drag going on within 0.4 s of its previous edit, moves the end of its step; anything
// else is a step of its own.
void Engine::recordEdit(const Show& previous, bool drag, double now)
{
    if (m_editGroupDepth > 0 && isNewestStep(m_groupStep)) {
        m_groupStep->extend(m_show);
        return;
    }
    if (drag && now - m_lastDragChange <= kDragJoinSeconds && isNewestStep(m_dragStep)) {
        m_dragStep->extend(m_show);
        return;
    }
    auto* step = new ShowEdit(previous, m_show, [this](const Show& show) { restoreEdit(show); });
    m_editHistory.push(step);
    m_dragStep = drag ? step : nullptr;
    m_groupStep = m_editGroupDepth > 0 ? step : nullptr;
}

bool Engine::isNewestStep(const ShowEdit* step) const
{
    return step && m_editHistory.index() > 0 && m_editHistory.index() == m_editHistory.count() &&
           m_editHistory.command(m_editHistory.index() - 1) == step;
}

void Engine::beginEditGroup()
{
    ++m_editGroupDepth;
}

void Engine::endEditGroup()
{
    if (m_editGroupDepth == 0)
        return;
    if (--m_editGroupDepth == 0)
        m_groupStep = nullptr;
}

void Engine::beginDrag()
{
    ++m_dragDepth;
}

void Engine::endDrag()
{
    if (m_dragDepth == 0)
        return;
    if (--m_dragDepth > 0)
        return;
    m_dragStep = nullptr;
    m_lastDragChange = -std::numeric_limits<double>::infinity();
}

void Engine::restoreEdit(const Show& target)
{
    const Show old = m_show;
    // Undo and redo end any step still open; the undo stack may drop the steps above its new position.
    m_dragStep = nullptr;
    m_groupStep = nullptr;
    m_restoringEdit = true;
    Show restored = target;
    m_measuredDurations->fillIn(restored);
    setShow(restored);
    m_restoringEdit = false;
    if (old.displayBindings != m_show.displayBindings)
        restoreDisplayBindings();
    if (old.defaultPicture != m_show.defaultPicture)
        applyDefaultPicture();
    selectFirstCueUnlessPresent();
}

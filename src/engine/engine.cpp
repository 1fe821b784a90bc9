#include "engine.h"

#include "assign.h"
#include "awaitedfiles.h"
#include "checkedfiles.h"
#include "commonstart.h"
#include "cuecountdown.h"
#include "cuecycle.h"
#include "cuepreview.h"
#include "displaybindings.h"
#include "edithistory.h"
#include "filedescriptors.h"
#include "filequestions.h"
#include "freeaside.h"
#include "independentscreens.h"
#include "lightingoutput.h"
#include "measureddurations.h"
#include "mediaaskahead.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "picture.h"
#include "projectfilework.h"
#include "runningtimeline.h"
#include "screendisplayprovider.h"
#include "soundoutput.h"
#include "stalledstarts.h"
#include "steadyclock.h"
#include "stilldecoder.h"
#include "stillpreloads.h"
#include "timelinesender.h"
#include "transportwait.h"
#include "waitingedits.h"

#include <cmath>

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
    if (!services.fileQuestions)
        services.fileQuestions = std::make_shared<FileQuestions>(services.isReadableFile);
    if (!services.mediaFiles)
        services.mediaFiles = std::make_shared<MediaFiles>(services.fileQuestions);
    return services;
}

Engine::Engine(bool monitorsDevices, std::shared_ptr<AudioChannelMixer> audioMixer, const QString& recoveryDirectory,
               Services services, QObject* parent)
    : QObject(parent), m_show(Show::makeDefault()), m_message(QStringLiteral("就绪")),
      m_stillPreloads(std::make_unique<StillPreloads>()), m_sender(new TimelineSender(TimelineSender::kTimeout, this)),
      m_audioMixer(std::move(audioMixer)), m_services(completed(std::move(services))),
      m_displayBindings(new DisplayBindings(*this, m_services.displays, m_services.windows, this))
{
    m_mediaFiles = m_services.mediaFiles.get();
    m_transportWait = new TransportWait(*m_mediaFiles,
                                        {[this] { togglePause(); }, [this](const QString& text) { setMessage(text); },
                                         [this] {
                                             // A pause pressed while nothing but the wait was there held nothing.
                                             if (!m_current && !m_countdown->cue())
                                                 setPaused(false);
                                         },
                                         // Pressed by a press in its turn, it is that press.
                                         [this] { return m_actingPress ? *m_actingPress : ++m_presses; },
                                         [this](std::optional<quint64> press) { return actAs(press); },
                                         [this](const QString& said) { waitEnded(said); },
                                         [this](const QString& said) {
                                             if (m_message == said)
                                                 m_lineSaidBy = 0;
                                         }},
                                        this);
    m_pictureWait = new AwaitedFiles(*m_mediaFiles, this);
    // The show's default picture, held by a folder that stopped answering, is read once the folder answers again.
    connect(m_mediaFiles, &MediaFiles::answeredFiles, this, [this] {
        if (m_pictureSilentFor && m_mediaFiles->state(*m_pictureSilentFor, FileDepth::readable) != FileState::stalled)
            applyDefaultPicture();
    });
    connect(m_mediaFiles, &MediaFiles::answered, this, [this] {
        if (std::exchange(m_preloadsAwaitAnswers, false))
            refreshVideoPreloads();
    });
    m_timeline = new RunningTimeline(
        m_services.clock, [this] { return tickTimeline(); }, this);
    m_history = new EditHistory(
        m_show, m_services.clock, recoveryDirectory, [this](const Show& show) { restoreEdit(show); }, this);
    connect(m_history, &EditHistory::hasUnsavedChangesChanged, this, &Engine::hasUnsavedChangesChanged);
    connect(m_history, &EditHistory::canRecoverProjectChanged, this, &Engine::canRecoverProjectChanged);
    connect(m_history, &EditHistory::message, this, &Engine::setMessage);
    m_waitingEdits =
        new WaitingEdits(*m_mediaFiles,
                         {[this] { return m_showNumber; }, [this] { return m_history->holdPlace(); },
                          [this](quint64 place) { return m_history->showAfter(place).has_value(); },
                          [this](quint64 place) { m_history->forget(place); }, [this] { return ++m_presses; },
                          [this](std::optional<quint64> press) { return actAs(press); },
                          [this](const QString& said) { waitEnded(said); }},
                         this);
    connect(m_waitingEdits, &WaitingEdits::changed, this, &Engine::undoableChanged);
    connect(m_history, &EditHistory::undoneStepsDropped, m_waitingEdits, &WaitingEdits::dropGone);
    connect(m_history->undoStack(), &QUndoStack::canUndoChanged, this, &Engine::undoableChanged);
    connect(m_history->undoStack(), &QUndoStack::canRedoChanged, this, &Engine::undoableChanged);
    m_projectFiles = new ProjectFileWork(*m_history,
                                         {[this]() -> const Show& { return m_show; },
                                          [this](const Show& show, const QUrl& url) {
                                              replaceShow(show);
                                              setProjectURL(url);
                                              return m_message;
                                          },
                                          [this](const Show& written, const QUrl& url, const QString& alsoSaid) {
                                              takeSavedShow(written, url, alsoSaid);
                                          },
                                          [this](const Show& show, bool parked) { takeBackOffered(show, parked); },
                                          [this](const QString& text) { setMessage(text); }},
                                         this);
    m_independent = new IndependentScreens(*this);
    connect(m_independent, &IndependentScreens::changed, this, &Engine::independentScreensChanged);
    m_countdown = new CueCountdown(
        m_services.clock,
        [this](const Cue& cue, std::optional<RemotePlaybackMode> mode) {
            inTurn([this, cue, mode] { take(cue, false, mode); });
        },
        this);
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
    connect(&StillDecoder::shared(), &StillDecoder::looked, this, [this](const QString& path) {
        if (!m_lookedDefaultPicture || m_lookedDefaultPicture->url.toLocalFile() != path)
            return;
        const LookedDefaultPicture looked = *std::exchange(m_lookedDefaultPicture, std::nullopt);
        m_waitingEdits->resume(looked.edit, [this, looked] { chooseDefaultPicture(looked.url, looked.edit); });
    });
    const auto isPaused = [this] { return m_paused; };
    m_cueCycle = new CueCycle(m_services.clock, isPaused, this);
    m_commonStart = new CommonStart(this);
    m_stalledStarts = new StalledStarts(
        *m_mediaFiles, {[this] { return m_message; }, [this](const QString& text) { setMessage(text); }}, this);
    connect(m_mediaFiles, &MediaFiles::answered, this, &Engine::endSilentRefusal);
    for (Bus bus : allCases<Bus>())
        m_audio[size_t(bus)] = m_services.players(this).release();
    syncScreens();
    selectFirstCueUnlessPresent();
    if (!monitorsDevices)
        return;
    m_history->track();
    m_lights->startTicking();
    m_askAhead = new MediaAskAhead(
        *m_mediaFiles, [this] { return showMediaFiles(); },
        [this] {
            const std::optional<Cue> next = nextPlaybackCue();
            return next ? checkedFiles({*next}, runAssets()) : QList<QUrl>{};
        },
        this);
    // Comes after the failure of the player that ran short, so the reason stays on the line.
    connect(&DescriptorShortage::shared(), &DescriptorShortage::ranOut, this,
            [this] { setMessage(FileDescriptors::shortageText() + QStringLiteral(" · 部分素材无法播放")); });
    connect(&SoundOutput::shared(), &SoundOutput::fellBack, this, &Engine::noteSilentSound, Qt::QueuedConnection);
    SoundOutput::shared().check();
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

TimelineClock* Engine::timelineClock() const
{
    return m_timeline->clock();
}

double Engine::timelinePosition() const
{
    return m_timeline->position();
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
    placeShow(std::move(show));
}

void Engine::placeShow(Show show)
{
    Show previous = std::exchange(m_show, std::move(show));
    m_assetPlaces.reset();
    const QList<ScreenRole> screensBefore = std::exchange(m_showScreens, m_show.screens());
    emit showChanged();
    m_history->showChanged(previous);
    // Any edit can change the screen list (a side file makes a second screen), and every screen needs its pictures.
    if (screensBefore != m_showScreens)
        syncScreens();
    dropDelayOfRemovedCue();
    if (m_askAhead)
        m_askAhead->showChanged();
    freeAside(std::move(previous));
}

void Engine::setSelected(std::optional<QUuid> id)
{
    // Selecting the cue already selected is still the operator's choice since the presses before it.
    m_selectedBy = m_presses;
    ++m_selectionChanges;
    if (assign(m_selected, std::move(id)))
        emit selectedChanged();
}

void Engine::setCurrent(std::optional<Cue> cue)
{
    if (!assign(m_current, std::move(cue)))
        return;
    emit currentChanged();
    letLeavingScreensGo();
    if (m_askAhead)
        m_askAhead->showChanged();
}

void Engine::setPaused(bool paused)
{
    if (assign(m_paused, paused))
        emit pausedChanged();
}

void Engine::setProjectionMode(std::optional<ProjectionMode> mode)
{
    if (!assign(m_projectionMode, mode))
        return;
    emit projectionModeChanged();
    letLeavingScreensGo();
    // Another cue comes next in a run.
    if (m_askAhead)
        m_askAhead->showChanged();
}

void Engine::setProjectionPosition(const QString& position)
{
    if (assign(m_projectionPosition, position))
        emit projectionPositionChanged();
}

// What the press whose turn has come says stays off the line while a later press's words stand there: with the
// answers in at once, the later press would have spoken last.
std::optional<quint64> Engine::actAs(std::optional<quint64> press)
{
    return std::exchange(m_actingPress, press);
}

void Engine::setMessage(const QString& message)
{
    if (m_actingPress) {
        if (*m_actingPress < m_lineSaidBy) {
            m_keptOffLine = message;
            return;
        }
        m_lineSaidBy = *m_actingPress;
    } else {
        m_lineSaidBy = m_presses;
    }
    m_keptOffLine.reset();
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

bool Engine::hasUnsavedChanges() const
{
    return m_history->hasUnsavedChanges();
}

bool Engine::canRecoverProject() const
{
    return m_history->canRecoverProject();
}

QUndoStack* Engine::editHistory()
{
    return m_history->undoStack();
}

// An edit still waiting for the disk holds its place among the steps from its press: undo and redo go over it in
// the order pressed, as they would had it been made at once.
void Engine::undo()
{
    m_history->undo();
}

void Engine::redo()
{
    m_history->redo();
}

bool Engine::canUndo()
{
    return m_history->undoStack()->canUndo();
}

bool Engine::canRedo()
{
    return m_history->undoStack()->canRedo();
}

bool Engine::landEdit(quint64 edit, const std::function<Show(const Show&)>& made)
{
    if (!m_waitingEdits->lands(edit))
        return false;
    bool inShow = false;
    m_history->land(m_waitingEdits->place(edit), made, [&](Show show) {
        inShow = true;
        setShow(std::move(show));
    });
    return inShow;
}

void Engine::restoreEdit(const Show& target)
{
    const Show old = m_show;
    Show restored = target;
    m_measuredDurations->fillIn(restored);
    setShow(restored);
    if (old.displayBindings != m_show.displayBindings)
        restoreDisplayBindings();
    if (old.defaultPicture != m_show.defaultPicture)
        applyDefaultPicture();
    selectFirstCueUnlessPresent();
}

// The show and the saved show both take the length, so that the project stays as saved (or unsaved) as it was;
// nothing is recorded and no recovery copy is due.
bool Engine::storeMeasuredDuration(const QUuid& asset, const QUrl& url, double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return false;
    m_measuredDurations->record(asset, url, seconds);
    Show measured = m_show;
    const bool taken = m_measuredDurations->fillIn(measured, asset);
    m_history->amendSaved([&](Show& saved) {
        // A saved library that is still the show's own takes the show's filled-in list, not a copy of its own.
        if (taken && saved.assets && m_show.assets && saved.assets->isSharedWith(*m_show.assets))
            saved.assets = measured.assets;
        else
            m_measuredDurations->fillIn(saved, asset);
    });
    if (!taken)
        return false;
    // The entries keep their places.
    m_show = std::move(measured);
    m_lengthMeasured = true;
    emit showChanged();
    m_lengthMeasured = false;
    return true;
}

const QHash<QUuid, qsizetype>& Engine::assetPlaces() const
{
    if (!m_assetPlaces) {
        QHash<QUuid, qsizetype> places;
        const QList<MediaAsset> assets = m_show.assets.value_or(QList<MediaAsset>{});
        places.reserve(assets.size());
        for (qsizetype i = 0; i < assets.size(); ++i)
            if (!places.contains(assets[i].id))
                places.insert(assets[i].id, i);
        m_assetPlaces = std::move(places);
    }
    return *m_assetPlaces;
}

std::optional<MediaAsset> Engine::asset(const TimelineEvent& event) const
{
    if (!event.assetID || !m_show.assets)
        return std::nullopt;
    const auto place = assetPlaces().constFind(*event.assetID);
    if (place == assetPlaces().cend())
        return std::nullopt;
    return m_show.assets->at(*place);
}

bool Engine::play(const Cue& cue, const QSet<ScreenRole>& screens)
{
    return m_independent->play(cue, screens);
}

void Engine::pauseScreens(const QSet<ScreenRole>& screens)
{
    m_independent->pause(screens);
}

void Engine::resumeScreens(const QSet<ScreenRole>& screens)
{
    m_independent->resume(screens);
}

void Engine::stopScreens(const QSet<ScreenRole>& screens)
{
    m_independent->stop(screens);
}

void Engine::returnScreensToProjection(const QSet<ScreenRole>& screens)
{
    m_independent->returnToProjection(screens);
}

void Engine::previewCue(const Cue& cue)
{
    m_cuePreview->previewCue(cue);
}

void Engine::previewTimeline(const Cue& cue, double time)
{
    m_cuePreview->previewTimeline(cue, time);
}

void Engine::previewEvent(const TimelineEvent& event)
{
    m_cuePreview->previewEvent(event);
}

bool Engine::lightsBlack() const
{
    return m_lights->lightsBlack();
}

void Engine::setLightsBlack(bool black)
{
    if (black == m_lights->lightsBlack())
        return;
    m_lights->setLightsBlack(black);
    emit lightsBlackChanged();
}

void Engine::configureLights()
{
    m_lights->configureLights(m_show.artNetHost, m_show.universe);
}

void Engine::applyLighting(const std::optional<Lighting>& lighting)
{
    m_lights->applyLighting(lighting, m_show.artNetHost, m_show.universe);
}

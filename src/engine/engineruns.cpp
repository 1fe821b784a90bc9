#include "engine.h"

#include "checkanswers.h"
#include "cuecountdown.h"
#include "cuecycle.h"
#include "edithistory.h"
#include "independentscreens.h"
#include "picture.h"
#include "projectfilework.h"
#include "timelinesender.h"
#include "transportwait.h"
#include "waitingedits.h"

std::optional<Cue> Engine::nextPlaybackCue() const
{
    return m_projectionMode ? m_run.following() : next();
}

void Engine::checkInTurn(const QString& name, std::function<QList<Cue>()> cues, std::function<void()> check)
{
    if (m_waitingEdits->waiting()) {
        const WaitingEdits::Id turn =
            m_waitingEdits->askInTurn(runBehindEdits(), QStringLiteral("正在检查素材 · ") + name);
        setMessage(holdingMessage());
        m_waitingEdits->await(turn, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                              [this, turn, name, cues = std::move(cues), check = std::move(check)] {
                                  if (m_waitingEdits->lands(turn))
                                      checkNow(name, cues(), check);
                              });
        return;
    }
    checkNow(name, cues(), std::move(check));
}

// Its files answered, in its turn among the transport's presses, as the run it leads to.
void Engine::checkNow(const QString& name, const QList<Cue>& cues, std::function<void()> check)
{
    TransportWait::Press press;
    press.name = name;
    press.answers = CheckAnswers(*m_mediaFiles, cues, m_show.assets.value_or(QList<MediaAsset>{}));
    press.startsRun = true;
    press.act = [check = std::move(check)] {
        check();
        return false;
    };
    m_transportWait->press(std::move(press));
}

// Edits of the show still waiting for their answers come first: the run starts in its turn on the show as it will be
// with them made, as it would had their answers been in at its press.
bool Engine::beginProjection(ProjectionMode mode, const std::optional<Cue>& cue, Preflight preflight,
                             std::function<void()> begun)
{
    if (m_projectionMode && !m_transportWait->waiting())
        return false;
    // A press acting in its turn comes before the edits still waiting.
    if (!m_waitingEdits->waiting() || m_actingPress)
        return beginProjectionInTurn(mode, cue, preflight, std::move(begun));
    const QString name = usesPlaylist(mode) ? rawValue(mode) : cue ? cue->name : QString();
    const WaitingEdits::Id turn = m_waitingEdits->askInTurn(runBehindEdits(), QStringLiteral("正在检查素材 · ") + name);
    setMessage(holdingMessage());
    m_waitingEdits->await(turn, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                          [this, turn, mode, cue, preflight, begun = std::move(begun),
                           pauses = m_transportWait->pauses(), pressed = m_history->lastStep(), atPress = m_show] {
                              if (!m_waitingEdits->lands(turn))
                                  return;
                              // The show as at the press, with the edits before it made: not what came after.
                              const Show asAtPress = m_history->showAfter(pressed).value_or(atPress);
                              std::optional<Cue> present = cue;
                              if (cue) {
                                  const auto then = std::find_if(asAtPress.cues.cbegin(), asAtPress.cues.cend(),
                                                                 [&](const Cue& shown) { return shown.id == cue->id; });
                                  if (then != asAtPress.cues.cend())
                                      present = *then;
                              }
                              beginProjectionInTurn(mode, present, preflight, begun, pauses, asAtPress);
                          });
    return true;
}

bool Engine::beginProjectionInTurn(ProjectionMode mode, const std::optional<Cue>& cue, Preflight preflight,
                                   std::function<void()> begun, std::optional<int> pausesAtPress,
                                   const std::optional<Show>& asAtPress)
{
    if (m_projectionMode && !m_transportWait->waiting())
        return false;
    const Show& show = asAtPress ? *asAtPress : m_show;
    QList<Cue> cues;
    if (usesPlaylist(mode))
        cues = show.cues;
    else if (cue)
        cues = {*cue};
    if (cues.isEmpty()) {
        setMessage(QStringLiteral("请选择节目"));
        return false;
    }
    const QList<MediaAsset> assets = show.assets.value_or(QList<MediaAsset>{});
    TransportWait::Press press;
    press.name = cues.size() == 1 ? cues.first().name : rawValue(mode);
    if (preflight == Preflight::check)
        press.answers = CheckAnswers(*m_mediaFiles, cues, assets);
    press.startsRun = true;
    press.pausesBefore = pausesAtPress;
    press.overrides = [this, cues, assets, preflight] {
        return !m_projectionMode &&
               (preflight == Preflight::alreadyPassed || playbackIssues(cues, assets, false, true).isEmpty());
    };
    press.act = [this, mode, cues, assets, preflight, begun = std::move(begun)] {
        const bool started = beginProjectionNow(mode, cues, assets, preflight);
        if (started && begun)
            begun();
        return started;
    };
    return m_transportWait->press(std::move(press));
}

bool Engine::beginProjectionNow(ProjectionMode mode, const QList<Cue>& cues, const QList<MediaAsset>& assets,
                                Preflight preflight)
{
    // A show being opened or recovered stops playback when it lands: no run is started only to be stopped then.
    if (m_projectionMode || m_projectFiles->refusedWhileShowOnItsWay(QStringLiteral("投放")))
        return false;
    if (preflight == Preflight::check) {
        // One check over the whole run asks the disk once per file; its first finding is of the first cue with one.
        const QList<PlaybackIssue> issues = playbackIssues(cues, assets, false, true);
        if (!issues.isEmpty()) {
            setMessage(issues.first().cue.name + QStringLiteral(" · ") + issues.first().text);
            return false;
        }
    }
    setProjectionTestPattern(false);
    stop(true);
    ++m_transportActs;
    m_run = ProjectionRun(mode, cues, assets);
    setProjectionMode(mode);
    playProjectionCue();
    return true;
}

void Engine::queueProjectionAdvance()
{
    if (m_projectionMode)
        m_cueCycle->whenShownLongEnough([this] { advanceProjection(); });
}

void Engine::advanceProjection()
{
    if (!m_projectionMode)
        return;
    if (!m_run.advance()) {
        stop(false);
        setMessage(QStringLiteral("投放完成"));
        return;
    }
    playProjectionCue();
}

void Engine::playProjectionCue()
{
    setProjectionPosition(m_run.position());
    start(m_run.cueOnAir(), 0, false, std::nullopt);
}

void Engine::legacyProjectionEnded(Player* player)
{
    if (!m_legacyProjectionItems.remove(player))
        return;
    const std::optional<Cue> following = nextPlaybackCue();
    for (auto entry = m_program.cbegin(); entry != m_program.cend(); ++entry) {
        Picture* program = entry.value();
        if (program->foreground() && program->foreground()->player() == player) {
            if (!startsWithVideo(following, entry.key()))
                clearForeground(entry.key());
        } else if (program->player() == player) {
            program->load(std::nullopt);
        }
    }
    if (m_legacyProjectionItems.isEmpty())
        queueProjectionAdvance();
}

void Engine::finishRemotePlayback(const Cue& cue, RemotePlaybackMode mode)
{
    if (mode == RemotePlaybackMode::loop) {
        m_cueCycle->whenShownLongEnough([this, cue] { start(cue, 0, false, RemotePlaybackMode::loop); });
        return;
    }
    setMessage(QStringLiteral("单次播放完成 · ") + cue.name);
}

void Engine::stop(bool cancelMessages)
{
    m_transportWait->clear();
    // Takes, runs and presses on screens waiting behind edits of the show, pressed before this stop, go with it.
    m_waitingEdits->dropTurns({takeBehindEdits(), runBehindEdits(), screensBehindEdits()}, m_actingPress);
    ++m_transportActs;
    if (cancelMessages)
        m_independent->returnAll();
    for (const std::shared_ptr<Picture>& prepared : std::as_const(m_preparedVideos))
        prepared->cancelPreload();
    m_preparedVideos.clear();
    m_cueCycle->cancel();
    setProjectionMode(std::nullopt);
    setProjectionPosition({});
    m_run = {};
    m_legacyProjectionItems.clear();
    m_remotePlaybackItems.clear();
    m_remotePlaybackMode.reset();
    if (cancelMessages)
        m_sender->cancel();
    m_countdown->cancel();
    resetTimeline({});
    clearObservers();
    for (Picture* program : std::as_const(m_program))
        program->load(std::nullopt);
    for (Player* player : m_audio)
        player->clear();
    setCurrent(std::nullopt);
    setPaused(false);
    setMessage(QStringLiteral("媒体已停止 · 灯光保持"));
}

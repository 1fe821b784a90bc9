#include "engine.h"

#include "assign.h"
#include "checkanswers.h"
#include "commonstart.h"
#include "cuecountdown.h"
#include "cuecycle.h"
#include "edithistory.h"
#include "picture.h"
#include "runningtimeline.h"
#include "transportwait.h"
#include "waitingedits.h"

#include <QScopedValueRollback>
#include <cmath>

static constexpr double kLongestDelay = 3600;

bool Engine::transportBehindEdits() const
{
    return m_waitingEdits->waitsFor(takeBehindEdits()) || m_waitingEdits->waitsFor(runBehindEdits());
}

std::optional<Cue> Engine::next() const
{
    if (!m_current)
        return m_show.cues.isEmpty() ? std::nullopt : std::optional(m_show.cues.first());
    const auto onAir = std::find_if(m_show.cues.cbegin(), m_show.cues.cend(),
                                    [this](const Cue& cue) { return cue.id == m_current->id; });
    if (onAir == m_show.cues.cend() || std::next(onAir) == m_show.cues.cend())
        return std::nullopt;
    return *std::next(onAir);
}

// GO does nothing while a countdown runs or a GO or take waits for its answers: a second press does not take another
// cue. Behind a run's start it takes its turn: refused by the run once started, it takes the next cue should the run
// be refused, as it would had the run's answers been in at its press.
bool Engine::go(std::optional<RemotePlaybackMode> remoteMode)
{
    if (m_countdown->cue() || m_transportWait->takeWaits() || m_waitingEdits->waitsFor(takeBehindEdits()))
        return false;
    const std::optional<Cue> cue = next();
    if (!cue) {
        setMessage(QStringLiteral("节目单已结束"));
        return false;
    }
    return take(*cue, true, remoteMode);
}

static QString countdownText(const QString& name)
{
    return QStringLiteral("等待执行 · ") + name;
}

static double clampedDelay(const Cue& cue)
{
    return std::isfinite(cue.delay) ? std::clamp(cue.delay, 0.0, kLongestDelay) : 0;
}

// Edits of the show still waiting for their answers come first: the cue is taken in its turn as the show will be with
// them made (a file put on its lane makes it a timeline cue).
bool Engine::take(const Cue& cue, bool useDelay, std::optional<RemotePlaybackMode> remoteMode)
{
    if (m_projectionMode && !m_transportWait->waiting())
        return false;
    if (!m_waitingEdits->waiting()) {
        const bool acted = takeInTurn(cue, useDelay, remoteMode);
        if (m_transportWait->waiting())
            selectAtTakePress(cue, useDelay);
        return acted;
    }
    const WaitingEdits::Id turn =
        m_waitingEdits->askInTurn(takeBehindEdits(), QStringLiteral("正在检查素材 · ") + cue.name);
    selectAtTakePress(cue, useDelay);
    setMessage(holdingMessage());
    // Pauses pressed from now on act on what it puts on air, as with the answers in.
    m_waitingEdits->await(turn, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                          [this, turn, cue, useDelay, remoteMode, pauses = m_transportWait->pauses(),
                           pressed = m_history->lastStep(), atPress = m_show] {
                              if (!m_waitingEdits->lands(turn))
                                  return;
                              // The cue as at the press, with the edits before it made: not what came after.
                              const Show asAtPress = m_history->showAfter(pressed).value_or(atPress);
                              const auto then = std::find_if(asAtPress.cues.cbegin(), asAtPress.cues.cend(),
                                                             [&](const Cue& shown) { return shown.id == cue.id; });
                              takeInTurn(then != asAtPress.cues.cend() ? *then : cue, useDelay, remoteMode, pauses);
                              // A pause that held nothing but this take holds nothing once it was refused.
                              if (!m_transportWait->waiting() && !m_current && !m_countdown->cue())
                                  setPaused(false);
                          });
    return true;
}

// A file whose answer is still on its way holds this cue, never the show: it is taken in its turn when the answers
// come, as it would have been taken now.
bool Engine::takeInTurn(const Cue& cue, bool useDelay, std::optional<RemotePlaybackMode> remoteMode,
                        std::optional<int> pausesAtPress)
{
    if (m_projectionMode && !m_transportWait->waiting())
        return false;
    const QList<MediaAsset> assets = m_show.assets.value_or(QList<MediaAsset>{});
    TransportWait::Press press;
    press.name = cue.name;
    press.pausesBefore = pausesAtPress;
    press.answers = CheckAnswers(*m_mediaFiles, {cue}, assets);
    if (!useDelay || clampedDelay(cue) == 0) {
        press.overrides = [this, cue, assets] {
            return !m_projectionMode && playbackIssues({cue}, assets, false).isEmpty();
        };
        // Stopped before its answers came: at its press it would have selected its cue, which a stop leaves selected.
        press.kept = [this, cue, assets] {
            const bool present = std::any_of(m_show.cues.cbegin(), m_show.cues.cend(),
                                             [&](const Cue& shown) { return shown.id == cue.id; });
            if (present && !m_projectionMode && playbackIssues({cue}, assets, false).isEmpty())
                selectStarted(cue.id);
            else
                giveSelectionBack();
        };
    }
    press.act = [this, cue, useDelay, remoteMode, assets] {
        const bool acted = takeNow(cue, useDelay, remoteMode, assets);
        if (!acted)
            giveSelectionBack();
        else if (m_actingPress)
            m_takenSelections.landed(*m_actingPress);
        return acted;
    };
    const QScopedValueRollback taking(m_taking, true);
    return m_transportWait->press(std::move(press));
}

bool Engine::takeNow(const Cue& cue, bool useDelay, std::optional<RemotePlaybackMode> remoteMode,
                     const QList<MediaAsset>& assets)
{
    if (m_projectionMode)
        return false;
    if (!canPlay(cue, assets))
        return false;
    ++m_transportActs;
    setProjectionTestPattern(false);
    m_countdown->cancel();
    if (m_paused)
        togglePause();
    // A pause that held only the countdown just dropped has nothing left to resume; what starts now is not paused.
    setPaused(false);
    if (useDelay) {
        if (const double delay = clampedDelay(cue); delay > 0) {
            // Deleted while its answers were on their way: its countdown would have been dropped with it.
            if (std::none_of(m_show.cues.cbegin(), m_show.cues.cend(),
                             [&](const Cue& present) { return present.id == cue.id; })) {
                setMessage(holdingMessage());
                return true;
            }
            setMessage(countdownText(cue.name));
            m_countdown->begin(cue, delay, remoteMode);
            return true;
        }
    }
    start(cue, 0, false, remoteMode);
    return true;
}

// Held behind a press that waits, the event is done in its turn, unless what came before it has acted meanwhile:
// then it would never have come (the countdown was dropped, the cue that ended had left the air).
void Engine::inTurn(std::function<void()> event)
{
    if (!m_transportWait->waiting()) {
        event();
        return;
    }
    const quint64 acts = m_transportActs;
    m_transportWait->hold([this, acts, event = std::move(event)] {
        if (acts == m_transportActs)
            event();
    });
}

void Engine::behindTransport(std::function<void()> press)
{
    if (transportBehindEdits()) {
        const WaitingEdits::Id turn = m_waitingEdits->askInTurn(screensBehindEdits());
        m_waitingEdits->await(turn, {}, FileDepth::readable, AwaitedFiles::Freshness::known,
                              [this, turn, press = std::move(press)] {
                                  if (m_waitingEdits->lands(turn))
                                      behindTransport(press);
                              });
        return;
    }
    if (m_transportWait->waiting()) {
        m_transportWait->hold(std::move(press), true);
        return;
    }
    press();
}

// A countdown for a cue that is no longer in the show has nothing left to start; kept, it would hold off GO.
void Engine::dropDelayOfRemovedCue()
{
    const std::optional<QUuid> waiting = m_countdown->cue();
    if (!waiting)
        return;
    const bool present =
        std::any_of(m_show.cues.cbegin(), m_show.cues.cend(), [&](const Cue& cue) { return cue.id == *waiting; });
    if (present)
        return;
    const QString said = countdownText(m_countdown->name());
    m_countdown->cancel();
    // A pause that held only the countdown has nothing left to hold.
    if (!m_current)
        setPaused(false);
    waitEnded(said);
}

// Everything the transport pauses and resumes, each player once. A screen waiting for its still only holds up
// the picture before it: nothing there plays on.
QList<Player*> Engine::transportPlayers() const
{
    QList<Player*> players;
    for (auto program = m_program.cbegin(); program != m_program.cend(); ++program)
        if (!m_awaitedStills.contains(program.key()))
            players.append(program.value()->player());
    players.append(m_audio[size_t(Bus::music)]);
    players.append(m_audio[size_t(Bus::effects)]);
    for (const auto& layers : m_timelineAudio)
        for (Player* player : layers)
            players.append(player);
    QSet<const Player*> clipPlayers;
    for (const auto& layers : m_screenClips)
        for (const ScreenClip& clip : layers) {
            players.append(clip.picture->player());
            clipPlayers.insert(clip.picture->player());
        }
    for (auto shown = m_foregrounds.cbegin(); shown != m_foregrounds.cend(); ++shown)
        if (!clipPlayers.contains(shown.value()->player()) && !m_awaitedStills.contains(shown.key()))
            players.append(shown.value()->player());
    return players;
}

void Engine::togglePause()
{
    if (!m_current && !m_countdown->cue() && !m_transportWait->waiting() && !transportBehindEdits())
        return;
    m_transportWait->notePause();
    const bool pausing = !m_paused;
    setPaused(pausing);
    // Players still waiting for the others to load begin with the resume, from where they stand.
    m_commonStart->cancel();
    if (pausing)
        m_cueCycle->pause();
    else
        m_cueCycle->resume();
    if (!m_timeline->events().isEmpty()) {
        if (pausing)
            m_timeline->hold();
        else
            m_timeline->run();
    }
    if (const std::optional<QUuid> counted = m_countdown->cue()) {
        const auto waiting =
            std::find_if(m_show.cues.cbegin(), m_show.cues.cend(), [&](const Cue& cue) { return cue.id == *counted; });
        if (waiting != m_show.cues.cend()) {
            if (pausing)
                m_countdown->hold();
            else
                m_countdown->resume(*waiting);
        }
    }
    for (Player* player : transportPlayers()) {
        if (!player->hasItem())
            continue;
        if (pausing) {
            player->pause();
            continue;
        }
        const std::optional<double> length = player->duration();
        if (!length || player->currentTime() < *length)
            player->play();
    }
    setMessage(pausing ? QStringLiteral("已暂停") : QStringLiteral("已继续"));
}

// Shown at once, the take's cue is what the editor and the cue list show while its files are checked, as they would
// with the answers in: a press on the editor meanwhile is a press on that cue. A take that counts down selects
// nothing at its press, and one behind a run's start may never act.
void Engine::selectAtTakePress(const Cue& cue, bool useDelay)
{
    if (m_projectionMode || m_actingPress || m_transportWait->runWaits() || (useDelay && clampedDelay(cue) > 0))
        return;
    const TakenSelections::Selection before{m_selected, m_selectedBy};
    selectStarted(cue.id);
    if (m_selected == cue.id)
        m_takenSelections.took(m_presses, cue.id, before, m_selectionChanges);
}

// Refused once its answers came, the take leaves the selection as it would have left it at its press.
void Engine::giveSelectionBack()
{
    if (!m_actingPress)
        return;
    const std::optional<TakenSelections::Selection> back =
        m_takenSelections.refused(*m_actingPress, m_selectionChanges);
    if (!back)
        return;
    m_selectedBy = back->by;
    ++m_selectionChanges;
    if (!assign(m_selected, back->cue))
        return;
    const QScopedValueRollback lateAt(m_selectionLateAt, std::optional(momentNow()));
    emit selectedChanged();
}

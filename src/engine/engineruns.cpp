#include "engine.h"

#include "clock.h"
#include "picture.h"
#include "timelinesender.h"

using namespace std::chrono_literals;

// Every cue of an automatic run stays on air at least this long, counted in unpaused time.
static constexpr double kShortestRunCue = 1.0;

std::optional<Cue> Engine::nextPlaybackCue() const
{
    if (!m_projectionMode)
        return next();
    const int following = m_projectionIndex + 1;
    if (following < m_projectionCues.size())
        return m_projectionCues.at(following);
    if (repeats(*m_projectionMode) && !m_projectionCues.isEmpty())
        return m_projectionCues.first();
    return std::nullopt;
}

void Engine::queueProjectionAdvance()
{
    if (!m_projectionMode)
        return;
    m_projectionAdvance.start(0ms);
}

// While paused it looks again every 0.1 s; otherwise it waits out the cue's shortest time on air.
void Engine::stepProjectionAdvance()
{
    const double remaining = m_projectionStartedAt - m_services.clock->uptime() + kShortestRunCue;
    if (m_paused || remaining > 0) {
        const double wait = m_paused ? 0.1 : std::max(remaining, 0.01);
        m_projectionAdvance.start(std::chrono::milliseconds(std::llround(wait * 1000)));
        return;
    }
    advanceProjection();
}

void Engine::advanceProjection()
{
    if (!m_projectionMode)
        return;
    const int following = m_projectionIndex + 1;
    if (following == m_projectionCues.size() && !repeats(*m_projectionMode)) {
        stop(false);
        setMessage(QStringLiteral("投放完成"));
        return;
    }
    m_projectionIndex = following % m_projectionCues.size();
    playProjectionCue();
}

void Engine::playProjectionCue()
{
    setProjectionPosition(QString::number(m_projectionIndex + 1) + QStringLiteral(" / ") +
                          QString::number(m_projectionCues.size()));
    m_projectionStartedAt = m_services.clock->uptime();
    start(m_projectionCues.at(m_projectionIndex), 0, false, std::nullopt);
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
        start(cue, 0, false, RemotePlaybackMode::loop);
        return;
    }
    setMessage(QStringLiteral("单次播放完成 · ") + cue.name);
}

void Engine::stop(bool cancelMessages)
{
    for (const std::shared_ptr<Picture>& prepared : std::as_const(m_preparedVideos))
        prepared->cancelPreload();
    m_preparedVideos.clear();
    m_projectionAdvance.stop();
    setProjectionMode(std::nullopt);
    setProjectionPosition({});
    m_projectionCues.clear();
    m_projectionAssets.clear();
    m_projectionIndex = 0;
    m_projectionPauseStarted.reset();
    m_legacyProjectionItems.clear();
    m_remotePlaybackItems.clear();
    m_remotePlaybackMode.reset();
    if (cancelMessages)
        m_sender->cancel();
    cancelDelay();
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

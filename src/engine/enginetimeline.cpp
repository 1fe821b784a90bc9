#include "engine.h"

#include "clock.h"
#include "picture.h"
#include "stillpreloads.h"
#include "timelineclock.h"
#include "timelinesender.h"

#include <numeric>

// A video clip that comes due later than this starts that far into its media rather than at its beginning.
static constexpr double kLateVideoSeek = 0.05;

QList<MediaAsset> Engine::runAssets() const
{
    return m_projectionMode ? m_run.assets() : m_show.assets.value_or(QList<MediaAsset>{});
}

void Engine::startTimeline(const QList<TimelineEvent>& events, const Cue& cue, bool startImmediately)
{
    for (Picture* program : std::as_const(m_program))
        program->load(std::nullopt);
    for (Player* player : m_audio)
        player->clear();
    for (const MediaAsset& asset : runAssets())
        m_timelineAssets.insert(asset.id, asset);

    QList<int> order(events.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return events[a].time < events[b].time; });
    m_timelineEvents.clear();
    m_timelineEvents.reserve(events.size());
    for (int index : order) {
        const TimelineEvent& event = events[index];
        const std::optional<ScreenRole> screen = event.screen();
        const auto asset = event.assetID ? m_timelineAssets.constFind(*event.assetID) : m_timelineAssets.cend();
        if (screen)
            m_lastScreenEvent.insert(*screen, int(m_timelineEvents.size()));
        if (screen && asset != m_timelineAssets.cend() && asset->kind == AssetKind::video)
            m_timelineVideos[*screen].append(int(m_timelineEvents.size()));
        m_timelineEvents.append(event);
    }
    m_stillPreloads->setTimeline(m_timelineEvents, m_timelineAssets);

    setMessage(QStringLiteral("时间轴播出 · ") + cue.name);
    applyLighting(cue.lighting);
    refreshVideoPreloads();
    runTimeline();
    if (startImmediately)
        stepTimeline();
}

// The first step runs as soon as the event loop comes round, the others every 15 ms after it.
void Engine::runTimeline()
{
    m_timelineOrigin = m_services.clock->uptime() - m_timelinePosition;
    cancelTimelineTask();
    const quint64 run = m_timelineRun;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run != m_timelineRun)
                return;
            stepTimeline();
            if (run == m_timelineRun)
                m_timelineTask.start();
        },
        Qt::QueuedConnection);
}

// A step that ends the run stops its own task only: when the end went on to another cue, that cue's run goes on.
void Engine::stepTimeline()
{
    const quint64 run = m_timelineRun;
    if (!tickTimeline() && run == m_timelineRun)
        cancelTimelineTask();
}

void Engine::cancelTimelineTask()
{
    m_timelineTask.stop();
    ++m_timelineRun;
}

bool Engine::tickTimeline()
{
    if (m_paused || !m_current)
        return false;
    m_timelinePosition = m_services.clock->uptime() - m_timelineOrigin;
    m_timelineClock->update(m_timelinePosition);
    const int first = m_timelineIndex;
    if (isDue(m_timelineIndex)) {
        // A copy: an event may end this cue and start another.
        const Cue cue = *m_current;
        while (isDue(m_timelineIndex)) {
            const TimelineEvent event = m_timelineEvents.at(m_timelineIndex);
            ++m_timelineIndex;
            execute(event, cue);
        }
    }
    refreshScreenClips();
    if (m_timelineIndex != first)
        refreshVideoPreloads();
    if (m_timelineIndex == m_timelineEvents.size() && m_activeTimelinePlayers.isEmpty() && m_screenClips.isEmpty()) {
        finishTimeline(Cue(*m_current));
        return false;
    }
    return true;
}

bool Engine::isDue(int index) const
{
    return index < m_timelineEvents.size() && m_timelineEvents.at(index).time <= m_timelinePosition;
}

void Engine::execute(const TimelineEvent& event, const Cue& cue)
{
    if (event.track == Track::message) {
        m_sender->send(event, [engine = QPointer(this), cueID = cue.id, transport = event.transport, host = event.host,
                               port = event.port](const std::optional<QString>& error) {
            if (!engine || !engine->m_current || engine->m_current->id != cueID)
                return;
            const QString target =
                rawValue(transport) + QLatin1Char(' ') + host + QLatin1Char(':') + QString::number(port);
            engine->setMessage(error ? QStringLiteral("消息发送失败 · ") + target + QStringLiteral(" · ") + *error
                                     : QStringLiteral("消息已发送 · ") + target);
        });
        return;
    }
    if (!event.assetID || !m_timelineAssets.contains(*event.assetID))
        return;
    const MediaAsset asset = m_timelineAssets.value(*event.assetID);
    if (event.track == Track::music || event.track == Track::effects)
        executeAudioClip(event, asset, cue);
    else
        executeScreenClip(event, asset);
}

void Engine::executeAudioClip(const TimelineEvent& event, const MediaAsset& asset, const Cue& cue)
{
    Player*& player = m_timelineAudio[event.track][event.effectiveLayer()];
    if (!player)
        player = m_services.players(this).release();
    player->load(asset.url);
    player->setAudioMixer(m_audioMixer);
    updateVolumes();
    m_activeTimelinePlayers.remove(player);
    if (!player->hasItem())
        return;
    m_activeTimelinePlayers.insert(player);

    observeItem(
        player, [=, this](Player* ended) { timelineAudioEnded(ended, cue); },
        [=, this](Player* failed) {
            setMessage(QStringLiteral("素材播放失败 · ") + asset.url.fileName());
            m_activeTimelinePlayers.remove(failed);
        });
    player->play();
}

void Engine::timelineAudioEnded(Player* player, const Cue& cue)
{
    if (!m_projectionMode && !m_remotePlaybackMode && cue.ending == EndBehavior::loop) {
        player->seek(0);
        if (!m_paused)
            player->play();
        return;
    }
    m_activeTimelinePlayers.remove(player);
}

void Engine::executeScreenClip(const TimelineEvent& event, const MediaAsset& asset)
{
    const std::optional<ScreenRole> role = event.screen();
    if (!role || !m_program.contains(*role))
        return;
    std::shared_ptr<Picture> picture = takePreparedVideo(*role, asset.url);
    if (!picture) {
        picture = makeVideoPicture();
        picture->load(asset.url);
        picture->player()->setMuted(true);
    }
    QMap<qint64, ScreenClip>& layers = m_screenClips[*role];
    const qint64 layer = event.effectiveLayer();
    if (const auto replaced = layers.constFind(layer); replaced != layers.cend())
        replaced->picture->player()->pause();
    layers.insert(layer, ScreenClip{event, asset, picture});
    if (asset.kind != AssetKind::video)
        return;
    const double lateness = std::max(m_timelinePosition - event.time, 0.0);
    if (lateness > kLateVideoSeek)
        picture->player()->seek(lateness, SeekMode::exact);
    picture->player()->play();
}

void Engine::finishTimeline(const Cue& cue)
{
    m_timelineEvents.clear();
    m_timelineVideos.clear();
    m_stillPreloads->clearTimeline();
    m_lastScreenEvent.clear();
    if (m_projectionMode) {
        queueProjectionAdvance();
        return;
    }
    if (m_remotePlaybackMode) {
        finishRemotePlayback(cue, *m_remotePlaybackMode);
        return;
    }
    if (cue.ending == EndBehavior::next)
        go(std::nullopt);
}

void Engine::resetTimeline(const QSet<ScreenRole>& preserving)
{
    cancelTimelineTask();
    for (const auto& layers : std::as_const(m_screenClips))
        for (const ScreenClip& clip : layers)
            clip.picture->player()->pause();
    m_screenClips.clear();
    for (const std::shared_ptr<Picture>& shown : std::as_const(m_foregrounds))
        shown->player()->pause();
    for (auto entry = m_program.cbegin(); entry != m_program.cend(); ++entry)
        if (!preserving.contains(entry.key()))
            clearForeground(entry.key());
    m_timelineEvents.clear();
    m_timelineVideos.clear();
    m_stillPreloads->clearTimeline();
    m_lastScreenEvent.clear();
    m_heldScreens.clear();
    m_awaitedStills.clear();
    m_timelineIndex = 0;
    m_timelineAssets.clear();
    m_timelinePosition = 0;
    m_timelineClock->update(0);
    for (const auto& layers : std::as_const(m_timelineAudio))
        for (Player* player : layers) {
            player->clear();
            player->deleteLater();
        }
    m_timelineAudio.clear();
    m_activeTimelinePlayers.clear();
}

void Engine::clearObservers()
{
    for (const QMetaObject::Connection& observer : std::as_const(m_playbackObservers))
        disconnect(observer);
    m_playbackObservers.clear();
}

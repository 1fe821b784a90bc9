#include "engine.h"

#include "commonstart.h"
#include "picture.h"
#include "runningtimeline.h"
#include "stalledstarts.h"
#include "stillpreloads.h"
#include "timelinesender.h"

// A video clip that comes due later than this starts that far into its media rather than at its beginning.
static constexpr double kLateVideoSeek = 0.05;

QString Engine::timelineText(const Cue& cue)
{
    return QStringLiteral("时间轴播出 · ") + cue.name;
}

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
    m_timeline->load(events, runAssets());
    m_stillPreloads->setTimeline(m_timeline->events(), m_timeline->assets());

    setMessage(timelineText(cue));
    applyLighting(cue.lighting);
    refreshVideoPreloads();
    m_timeline->run();
    if (startImmediately)
        m_timeline->step();
}

bool Engine::tickTimeline()
{
    if (m_paused || !m_current)
        return false;
    m_timeline->advance();
    const int first = m_timeline->index();
    if (m_timeline->hasDue()) {
        // A copy: an event may end this cue and start another.
        const Cue cue = *m_current;
        while (m_timeline->hasDue())
            execute(m_timeline->takeDue(), cue);
    }
    refreshScreenClips();
    if (m_timeline->index() != first)
        refreshVideoPreloads();
    if (m_timeline->playedOut() && m_activeTimelinePlayers.isEmpty() && m_screenClips.isEmpty()) {
        finishTimeline(Cue(*m_current));
        return false;
    }
    return true;
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
    if (!event.assetID || !m_timeline->assets().contains(*event.assetID))
        return;
    const MediaAsset asset = m_timeline->assets().value(*event.assetID);
    if (event.track == Track::music || event.track == Track::effects)
        executeAudioClip(event, asset, cue);
    else
        executeScreenClip(event, asset, cue);
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
    m_stalledStarts->watch(player, asset.url.fileName(), timelineText(cue));

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

void Engine::executeScreenClip(const TimelineEvent& event, const MediaAsset& asset, const Cue& cue)
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
    Picture* shown = picture.get();
    m_stalledStarts->watch(
        shown, [shown] { return shown->isDecodingStill() || shown->player()->status() == PlayerStatus::loading; },
        asset.url, asset.url.fileName(), timelineText(cue));
    if (asset.kind != AssetKind::video)
        return;
    const double lateness = std::max(m_timeline->position() - event.time, 0.0);
    if (lateness > kLateVideoSeek)
        picture->player()->seek(lateness, SeekMode::exact);
    picture->player()->play();
}

void Engine::finishTimeline(const Cue& cue)
{
    m_timeline->clearOrder();
    m_stillPreloads->clearTimeline();
    if (m_projectionMode) {
        queueProjectionAdvance();
        return;
    }
    if (m_remotePlaybackMode) {
        finishRemotePlayback(cue, *m_remotePlaybackMode);
        return;
    }
    if (cue.ending == EndBehavior::next)
        inTurn([this] { go(std::nullopt); });
}

void Engine::resetTimeline(const QSet<ScreenRole>& preserving)
{
    m_timeline->cancel();
    for (const auto& layers : std::as_const(m_screenClips))
        for (const ScreenClip& clip : layers)
            clip.picture->player()->pause();
    m_screenClips.clear();
    for (const std::shared_ptr<Picture>& shown : std::as_const(m_foregrounds))
        shown->player()->pause();
    for (auto entry = m_program.cbegin(); entry != m_program.cend(); ++entry)
        if (!preserving.contains(entry.key()))
            clearForeground(entry.key());
    m_timeline->reset();
    m_stalledStarts->clear();
    m_stillPreloads->clearTimeline();
    m_heldScreens.clear();
    m_awaitedStills.clear();
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
    m_commonStart->cancel();
    for (const QMetaObject::Connection& observer : std::as_const(m_playbackObservers))
        disconnect(observer);
    m_playbackObservers.clear();
}

#include "engine.h"

#include "directfile.h"
#include "picture.h"
#include "runningtimeline.h"
#include "stillpreloads.h"

// A screen whose next clip comes within one 30 Hz frame keeps its picture rather than flash the empty screen.
static constexpr double kHoldGap = 1.0 / 30.0;

std::shared_ptr<Picture> Engine::makeVideoPicture()
{
    // Deleted from the event loop, never inside one of its own player's signals.
    std::shared_ptr<Picture> picture(new Picture(m_services.players), [](Picture* made) { made->deleteLater(); });
    picture->setAudioMixer(m_audioMixer);
    return picture;
}

void Engine::setForeground(const ScreenRole& role, std::shared_ptr<Picture> picture)
{
    Picture* program = m_program.value(role);
    if (!program)
        return;
    program->setForeground(picture.get());
    m_foregrounds.insert(role, std::move(picture));
}

void Engine::clearForeground(const ScreenRole& role)
{
    if (Picture* program = m_program.value(role))
        program->setForeground(nullptr);
    m_foregrounds.remove(role);
}

// A screen that leaves the show takes along everything the engine plays or prepares for it, so that nothing goes
// on playing unseen, out of reach of stop, and nothing keeps the running timeline or playback waiting for it.
void Engine::endScreenPlayback(const ScreenRole& role)
{
    QList<Player*> ended;
    for (const ScreenClip& clip : m_screenClips.take(role))
        ended.append(clip.picture->player());
    if (const std::shared_ptr<Picture> shown = m_foregrounds.take(role))
        ended.append(shown->player());
    if (Picture* program = m_program.value(role)) {
        program->setForeground(nullptr);
        ended.append(program->player());
    }
    for (auto prepared = m_preparedVideos.begin(); prepared != m_preparedVideos.end();) {
        if (prepared.key().screen != role) {
            ++prepared;
            continue;
        }
        prepared.value()->cancelPreload();
        prepared = m_preparedVideos.erase(prepared);
    }
    m_timeline->removeScreen(role);
    m_stillPreloads->removeScreen(role);
    m_awaitedStills.remove(role);
    for (Player* player : std::as_const(ended))
        endPlayerOfRemovedScreen(player);
}

// The playback in progress no longer waits for a player whose screen is gone; when it was the last one waited
// for, the playback goes on as if it had played to its end.
void Engine::endPlayerOfRemovedScreen(Player* player)
{
    player->clear();
    if (m_legacyProjectionItems.remove(player) && m_legacyProjectionItems.isEmpty())
        queueProjectionAdvance();
    if (!m_remotePlaybackItems.remove(player) || !m_remotePlaybackItems.isEmpty() || !m_remotePlaybackMode ||
        !m_current)
        return;
    // Later, outside the edit that removed the screen: a loop starts its cue again.
    QMetaObject::invokeMethod(
        this,
        [this, cue = *m_current, mode = *m_remotePlaybackMode] {
            if (m_current && m_current->id == cue.id && m_remotePlaybackMode == mode &&
                m_remotePlaybackItems.isEmpty() && !(mode == RemotePlaybackMode::once && m_remotePlaybackFailed))
                finishRemotePlayback(cue, mode);
        },
        Qt::QueuedConnection);
}

void Engine::refreshScreenClips()
{
    for (auto entry = m_program.cbegin(); entry != m_program.cend(); ++entry)
        refreshScreen(entry.key(), entry.value());
}

void Engine::refreshScreen(const ScreenRole& role, Picture* program)
{
    const auto found = m_screenClips.find(role);
    if (found != m_screenClips.end()) {
        QMap<qint64, ScreenClip>& layers = found.value();
        for (auto clip = layers.begin(); clip != layers.end();) {
            if (!clip->hasEnded(m_timeline->position())) {
                ++clip;
                continue;
            }
            if (clip->failed())
                setMessage(QStringLiteral("素材播放失败 · ") + clip->asset.url.fileName());
            clip->picture->player()->pause();
            clip = layers.erase(clip);
        }
        if (layers.isEmpty())
            m_screenClips.erase(found);
    }

    const auto remaining = m_screenClips.constFind(role);
    if (remaining != m_screenClips.cend()) {
        const ScreenClip& top = remaining->last();
        Picture* shown = program->foreground();
        Picture* incoming = top.picture.get();
        if (shown == incoming)
            return;
        // A still whose decode has not ended leaves the picture before it, or none, up rather than a gap.
        if (incoming->isDecodingStill())
            return;
        if (top.asset.kind == AssetKind::video && shown) {
            if (shown->image()) {
                incoming->prepareTransitionFrame();
                if (!incoming->transitionFrame())
                    return;
            } else if (!incoming->player()->isReady()) {
                return;
            }
        }
        setForeground(role, top.picture);
        m_heldScreens.remove(role);
        updateVolumes();
        return;
    }

    if (m_remotePlaybackMode == RemotePlaybackMode::once) {
        if (!m_timeline->clipComesLaterOn(role))
            return;
    }
    if (!program->foreground() || shouldHoldVideo(role))
        return;
    clearForeground(role);
    updateVolumes();
}

bool Engine::shouldHoldVideo(const ScreenRole& role) const
{
    if (m_timeline->clipComesOn(role, m_timeline->position() + kHoldGap))
        return true;
    // The last picture of the cue before stays up until this cue's opening video on the screen can take over.
    if (m_heldScreens.contains(role) && m_timeline->clipComesOn(role, videoTransitionTolerance))
        return true;
    if (!m_timeline->playedOut())
        return false;
    if (m_projectionMode)
        return startsWithVideo(nextPlaybackCue(), role);
    if (m_remotePlaybackMode || !m_current || m_current->ending != EndBehavior::next)
        return false;
    return startsWithVideo(nextPlaybackCue(), role);
}

bool Engine::startsWithVideo(const std::optional<Cue>& cue, const ScreenRole& role) const
{
    if (!cue)
        return false;
    if (!cue->isTimelineCue()) {
        const std::optional<QUrl> url = directFile(*cue, role);
        return url && assetKind(*url) == AssetKind::video;
    }
    const QList<MediaAsset> assets = runAssets();
    return std::any_of(cue->timeline->cbegin(), cue->timeline->cend(), [&](const TimelineEvent& event) {
        if (event.screen() != role || event.time > videoTransitionTolerance || !event.assetID)
            return false;
        return std::any_of(assets.cbegin(), assets.cend(), [&](const MediaAsset& asset) {
            return asset.id == *event.assetID && asset.kind == AssetKind::video;
        });
    });
}

#include "engine.h"

#include "directfile.h"
#include "mediafiles.h"
#include "picture.h"
#include "runningtimeline.h"
#include "stillpreloads.h"

void Engine::refreshVideoPreloads()
{
    QList<VideoPreloadKey> wanted = m_timeline->upcomingVideos();
    const std::optional<Cue> next = nextPlaybackCue();
    if (next)
        for (const VideoPreloadKey& key : nextCueVideos(*next))
            if (!wanted.contains(key))
                wanted.append(key);

    // An edit may have taken a screen out of the show; nothing is prepared for it.
    wanted.removeIf([this](const VideoPreloadKey& key) { return !m_program.contains(key.screen); });
    for (auto prepared = m_preparedVideos.begin(); prepared != m_preparedVideos.end();) {
        if (wanted.contains(prepared.key())) {
            ++prepared;
            continue;
        }
        prepared.value()->cancelPreload();
        prepared = m_preparedVideos.erase(prepared);
    }
    for (const VideoPreloadKey& key : std::as_const(wanted)) {
        if (m_preparedVideos.contains(key))
            continue;
        // What the disk last said is enough to prepare ahead; a file whose answer is on the way is prepared when it
        // comes, one that does not answer loads when its cue starts.
        const FileState state = m_mediaFiles->state(key.url, FileDepth::stamp);
        if (state != FileState::answered) {
            m_preloadsAwaitAnswers = m_preloadsAwaitAnswers || state == FileState::waiting;
            continue;
        }
        const std::optional<FileAnswer> answer = m_mediaFiles->known(key.url, FileDepth::stamp);
        if (!answer->stamp.exists)
            continue;
        // Asked again from now, so that a folder that stops answering while its clip prepares is known by its time.
        m_mediaFiles->refresh({key.url}, FileDepth::stamp, MediaFiles::Again::fromNow);
        std::shared_ptr<Picture> picture = makeVideoPicture();
        picture->preloadVideo(key.url);
        m_preparedVideos.insert(key, std::move(picture));
    }
    m_stillPreloads->prepare(m_timeline->index(), next, m_program.keys(), runAssets());
}

// Each screen's first video of a cue, by time; worked out again only when the cue, the assets or the screens (which
// a direct cue's files go to) change.
QList<VideoPreloadKey> Engine::nextCueVideos(const Cue& cue)
{
    QList<MediaAsset> assets = runAssets();
    const QList<ScreenRole>& screens = showScreens();
    if (m_nextCueVideos && m_nextCueVideos->cue == cue && m_nextCueVideos->assets == assets &&
        m_nextCueVideos->screens == screens)
        return m_nextCueVideos->keys;
    QList<VideoPreloadKey> keys;
    if (!cue.isTimelineCue()) {
        for (const ScreenRole& role : std::as_const(screens))
            if (const std::optional<QUrl> url = directFile(cue, role); url && assetKind(*url) == AssetKind::video)
                keys.append({role, *url});
    } else {
        QHash<QUuid, const MediaAsset*> byID;
        for (const MediaAsset& asset : std::as_const(assets))
            if (!byID.contains(asset.id))
                byID.insert(asset.id, &asset);
        QHash<ScreenRole, std::pair<double, QUrl>> first;
        for (const TimelineEvent& event : *cue.timeline) {
            const std::optional<ScreenRole> role = event.screen();
            if (!role || !event.assetID || (first.contains(*role) && first[*role].first <= event.time))
                continue;
            const MediaAsset* asset = byID.value(*event.assetID);
            if (asset && asset->kind == AssetKind::video)
                first.insert(*role, {event.time, asset->url});
        }
        for (auto entry = first.cbegin(); entry != first.cend(); ++entry)
            keys.append({entry.key(), entry.value().second});
    }
    m_nextCueVideos = NextCueVideos{cue, std::move(assets), std::move(screens), keys};
    return keys;
}

std::shared_ptr<Picture> Engine::takePreparedVideo(const ScreenRole& role, const QUrl& url)
{
    std::shared_ptr<Picture> picture = m_preparedVideos.take({role, url});
    if (picture)
        picture->cancelPreload();
    return picture;
}

#include "checkedfiles.h"

#include <QElapsedTimer>
#include <cmath>
#include <limits>

namespace {

// The recent results, newest first: the run's check and the GO's check of one cue take turns, each keeps its own.
std::shared_ptr<const CheckedMedia>* recent()
{
    thread_local std::shared_ptr<const CheckedMedia> kept[2];
    return kept;
}

// The same lists, not merely equal ones: a list shares its data until it is changed, and the lists kept here hold
// that data, so no other list can come to lie at the same place meanwhile.
bool sameList(const auto& a, const auto& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

} // namespace

CheckedMediaMaker::CheckedMediaMaker(const QList<Cue>& cues, const QList<MediaAsset>& assets)
    : m_media(std::make_shared<CheckedMedia>())
{
    m_media->cues = cues;
    m_media->assets = assets;
    m_media->byID.reserve(assets.size());
    // Room for a file for each entry at once: the index of a large show is not hashed again as it grows.
    m_media->fileIndex.reserve(assets.size());
}

qsizetype CheckedMediaMaker::addFile(const QUrl& url, bool opensCue)
{
    // One look-up of the file each: a file met for the first time is placed at the end.
    CheckedMedia::Place& place = m_media->fileIndex[url];
    if (place.index < 0) {
        place.index = m_media->files.size();
        m_media->files.append(url);
        m_media->opensCue.append(opensCue);
    } else if (opensCue) {
        m_media->opensCue[place.index] = true;
    }
    return place.index;
}

// The time of a timeline's first events, which its cue puts up as it starts.
static double firstTime(const QList<TimelineEvent>& events)
{
    double first = std::numeric_limits<double>::infinity();
    for (const TimelineEvent& event : events)
        if (std::isfinite(event.time))
            first = std::min(first, event.time);
    return first;
}

bool CheckedMediaMaker::step(qint64 budgetNs)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype count = 0;
    const auto sliceOver = [&] { return budgetNs >= 0 && ++count % 64 == 0 && clock.nsecsElapsed() > budgetNs; };
    QHash<QUuid, CheckedMedia::Asset>& byID = m_media->byID;
    const QList<MediaAsset>& assets = std::as_const(m_media->assets);
    for (; m_asset < assets.size(); ++m_asset) {
        const MediaAsset& asset = assets[m_asset];
        if (!byID.contains(asset.id))
            byID.insert(asset.id, CheckedMedia::Asset{&asset, -1});
        if (sliceOver()) {
            ++m_asset;
            return false;
        }
    }
    const QList<Cue>& cues = std::as_const(m_media->cues);
    for (; m_cue < cues.size(); ++m_cue, m_event = 0) {
        const Cue& cue = cues[m_cue];
        if (!cue.isTimelineCue()) {
            for (const std::optional<QUrl>& file : {cue.main, cue.sideMirrorsMain ? std::nullopt : cue.side, cue.audio})
                if (file)
                    addFile(*file, true);
            continue;
        }
        // Without assets no event names a file: a large show's events are not walked for nothing.
        if (byID.isEmpty())
            continue;
        const QList<TimelineEvent>& events = *cue.timeline;
        if (m_event == 0)
            m_firstTime = firstTime(events);
        while (m_event < events.size()) {
            const TimelineEvent& event = events[m_event++];
            const auto entry = event.assetID ? byID.find(*event.assetID) : byID.end();
            // An asset's file is placed once, however many events use it.
            const bool opens = event.time <= m_firstTime;
            if (entry != byID.end() && (entry->file < 0 || opens) && accepts(event.track, *entry->asset))
                entry->file = addFile(entry->asset->url, opens);
            if (sliceOver())
                return false;
        }
    }
    return true;
}

std::shared_ptr<const CheckedMedia> CheckedMediaMaker::done()
{
    std::shared_ptr<const CheckedMedia>* kept = recent();
    kept[1] = std::move(kept[0]);
    kept[0] = m_media;
    return m_media;
}

std::optional<std::shared_ptr<const CheckedMedia>> knownCheckedMedia(const QList<Cue>& cues,
                                                                     const QList<MediaAsset>& assets)
{
    const std::shared_ptr<const CheckedMedia>* kept = recent();
    for (int i = 0; i < 2; ++i)
        if (kept[i] && sameList(kept[i]->cues, cues) && sameList(kept[i]->assets, assets))
            return kept[i];
    return std::nullopt;
}

std::shared_ptr<const CheckedMedia> checkedMedia(const QList<Cue>& cues, const QList<MediaAsset>& assets)
{
    if (std::optional<std::shared_ptr<const CheckedMedia>> known = knownCheckedMedia(cues, assets))
        return *known;
    CheckedMediaMaker maker(cues, assets);
    maker.step();
    return maker.done();
}

QList<QUrl> checkedFiles(const QList<Cue>& cues, const QList<MediaAsset>& assets)
{
    return checkedMedia(cues, assets)->files;
}

#include "checkedfiles.h"

#include <QHash>
#include <QSet>

QList<QUrl> checkedFiles(const QList<Cue>& cues, const QList<MediaAsset>& assets)
{
    QHash<QUuid, const MediaAsset*> byID;
    for (const MediaAsset& asset : assets)
        if (!byID.contains(asset.id))
            byID.insert(asset.id, &asset);
    QList<QUrl> files;
    QSet<QUrl> seen;
    const auto add = [&](const QUrl& url) {
        if (!seen.contains(url)) {
            seen.insert(url);
            files.append(url);
        }
    };
    for (const Cue& cue : cues) {
        if (!cue.isTimelineCue()) {
            for (const std::optional<QUrl>& file : {cue.main, cue.sideMirrorsMain ? std::nullopt : cue.side, cue.audio})
                if (file)
                    add(*file);
            continue;
        }
        // Without assets no event names a file: a large show's events are not walked for nothing.
        if (byID.isEmpty())
            continue;
        for (const TimelineEvent& event : *cue.timeline) {
            const MediaAsset* asset = event.assetID ? byID.value(*event.assetID) : nullptr;
            if (asset && accepts(event.track, *asset))
                add(asset->url);
        }
    }
    return files;
}

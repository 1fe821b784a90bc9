#include "screenpicture.h"

#include "directfile.h"

#include <map>

static const MediaAsset* firstWithID(const QList<MediaAsset>& assets, const std::optional<QUuid>& id)
{
    if (!id)
        return nullptr;
    const auto found =
        std::find_if(assets.cbegin(), assets.cend(), [&](const MediaAsset& asset) { return asset.id == *id; });
    return found == assets.cend() ? nullptr : &*found;
}

ScreenPicture screenPictureAt(const Cue& cue, const QList<MediaAsset>& assets, const ScreenRole& role, double time)
{
    if (!cue.timeline || cue.timeline->isEmpty())
        return {directFile(cue, role), time};
    const QList<TimelineEvent>& events = *cue.timeline;
    // Per layer, the clip on air there: the scheduler runs clips in time order and each replaces its layer's last.
    std::map<qint64, int> onLayer;
    for (int index = 0; index < events.size(); ++index) {
        const TimelineEvent& event = events.at(index);
        if (event.screen() != role || event.time > time || !firstWithID(assets, event.assetID))
            continue;
        const auto shown = onLayer.find(event.effectiveLayer());
        if (shown == onLayer.end() || events.at(shown->second).time <= event.time)
            onLayer[event.effectiveLayer()] = index;
    }
    for (auto layer = onLayer.crbegin(); layer != onLayer.crend(); ++layer) {
        const TimelineEvent& event = events.at(layer->second);
        const MediaAsset& asset = *firstWithID(assets, event.assetID);
        const std::optional<double> length = event.clipDuration(asset);
        if (!length || time < event.time + *length)
            return {asset.url, time - event.time};
    }
    return {std::nullopt, time};
}

std::optional<QUrl> openingPicture(const Cue& cue, const QList<MediaAsset>& assets, const ScreenRole& role)
{
    if (!cue.timeline || cue.timeline->isEmpty())
        return directFile(cue, role);
    const TimelineEvent* chosen = nullptr;
    for (const TimelineEvent& event : *cue.timeline)
        if (event.time == 0 && event.screen() == role &&
            (!chosen || event.effectiveLayer() >= chosen->effectiveLayer()))
            chosen = &event;
    const MediaAsset* asset = chosen ? firstWithID(assets, chosen->assetID) : nullptr;
    return asset ? std::optional(asset->url) : std::nullopt;
}

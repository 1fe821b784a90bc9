#include "measureddurations.h"

void MeasuredDurations::record(const QUuid& asset, const QUrl& url, double seconds)
{
    m_seconds.insert({asset, url.toString()}, seconds);
}

bool MeasuredDurations::fillIn(Show& show) const
{
    if (!show.assets || m_seconds.isEmpty())
        return false;
    bool changed = false;
    for (MediaAsset& asset : *show.assets) {
        if (asset.duration)
            continue;
        const auto found = m_seconds.constFind({asset.id, asset.url.toString()});
        if (found == m_seconds.cend())
            continue;
        asset.duration = *found;
        changed = true;
    }
    return changed;
}

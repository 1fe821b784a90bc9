#include "measureddurations.h"

void MeasuredDurations::record(const QUuid& asset, const QUrl& url, double seconds)
{
    QList<std::pair<QUrl, double>>& files = m_seconds[asset];
    for (std::pair<QUrl, double>& file : files)
        if (file.first == url) {
            file.second = seconds;
            return;
        }
    files.append({url, seconds});
}

std::optional<double> MeasuredDurations::secondsOf(const MediaAsset& asset) const
{
    const auto found = m_seconds.constFind(asset.id);
    if (found == m_seconds.cend())
        return std::nullopt;
    for (const auto& [url, seconds] : *found)
        if (url == asset.url)
            return seconds;
    return std::nullopt;
}

bool MeasuredDurations::fillIn(Show& show) const
{
    if (!show.assets || m_seconds.isEmpty())
        return false;
    bool changed = false;
    // Read first, so that a library with nothing to fill in stays shared.
    for (qsizetype i = 0; i < show.assets->size(); ++i) {
        const MediaAsset& asset = show.assets->at(i);
        if (asset.duration)
            continue;
        if (const std::optional<double> seconds = secondsOf(asset)) {
            (*show.assets)[i].duration = seconds;
            changed = true;
        }
    }
    return changed;
}

bool MeasuredDurations::fillIn(Show& show, const QUuid& asset) const
{
    if (!show.assets)
        return false;
    bool changed = false;
    for (qsizetype i = 0; i < show.assets->size(); ++i) {
        const MediaAsset& entry = show.assets->at(i);
        if (entry.id != asset || entry.duration)
            continue;
        if (const std::optional<double> seconds = secondsOf(entry)) {
            (*show.assets)[i].duration = seconds;
            changed = true;
        }
    }
    return changed;
}

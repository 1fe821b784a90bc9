#include "clipplacement.h"

#include "timelinegeometry.h"
#include "timelinelanes.h"

#include <algorithm>
#include <cmath>
#include <limits>

using TimelineGeometry::isValidTime;

static constexpr double kEndless = std::numeric_limits<double>::infinity();

ClipPlacement::ClipPlacement(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets)
    : m_events(events), m_assets(assets), m_places(m_ownPlaces)
{
    m_ownPlaces.reserve(assets.size());
    // The first entry with an id counts, as a lookup in library order finds it.
    for (qsizetype i = 0; i < assets.size(); ++i)
        if (!m_ownPlaces.contains(assets[i].id))
            m_ownPlaces.insert(assets[i].id, i);
}

ClipPlacement::ClipPlacement(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets,
                             const QHash<QUuid, qsizetype>& places)
    : m_events(events), m_assets(assets), m_places(places)
{
}

const MediaAsset* ClipPlacement::asset(const TimelineEvent& event) const
{
    if (!event.assetID)
        return nullptr;
    const auto place = m_places.constFind(*event.assetID);
    return place != m_places.cend() && *place < m_assets.size() ? &m_assets[*place] : nullptr;
}

std::optional<double> ClipPlacement::mediaDuration(const TimelineEvent& event) const
{
    const MediaAsset* entry = asset(event);
    if (!entry)
        return std::nullopt;
    if (auto length = event.clipDuration(*entry))
        return length;
    return entry->duration;
}

bool ClipPlacement::canPlace(const TimelineEvent& event) const
{
    return canPlace(event, mediaDuration(event));
}

bool ClipPlacement::canPlace(const TimelineEvent& event, std::optional<double> length) const
{
    if (!isValidTime(event.time))
        return false;
    if (event.track == Track::message)
        return true;
    const TimelineLane lane = laneOf(event);
    const double end = event.time + length.value_or(kEndless);
    for (const TimelineEvent& other : m_events) {
        if (other.id == event.id || !isValidTime(other.time) || !lane.matches(other))
            continue;
        const double otherEnd = other.time + mediaDuration(other).value_or(kEndless);
        if (event.time < otherEnd - kOverlapTolerance && other.time < end - kOverlapTolerance)
            return false;
    }
    return true;
}

std::optional<double> ClipPlacement::placementTime(double wanted, const TimelineEvent& event, const TimelineLane& lane,
                                                   bool snap, double zoom) const
{
    if (snap)
        if (auto snapped = snappedTime(wanted, event, lane, zoom))
            return snapped;
    TimelineEvent placed = event;
    placed.time = TimelineGeometry::gridTime(wanted);
    if (canPlace(placed))
        return placed.time;
    return std::nullopt;
}

std::optional<double> ClipPlacement::snappedTime(double wanted, const TimelineEvent& event, const TimelineLane& lane,
                                                 double zoom) const
{
    QList<double> candidates{0};
    for (const TimelineEvent& other : m_events) {
        if (other.id == event.id || !isValidTime(other.time) || !lane.matches(other))
            continue;
        candidates.append(other.time);
        if (auto length = mediaDuration(other))
            candidates.append(other.time + *length);
    }
    if (auto length = mediaDuration(event)) {
        const qsizetype edges = candidates.size();
        for (qsizetype i = 0; i < edges; ++i)
            candidates.append(candidates[i] - *length);
    }
    candidates.removeIf([](double candidate) { return !isValidTime(candidate); });
    std::stable_sort(candidates.begin(), candidates.end(),
                     [wanted](double a, double b) { return std::abs(a - wanted) < std::abs(b - wanted); });

    TimelineEvent placed = event;
    for (double candidate : candidates) {
        // Written so that a wanted time that is not a number snaps nowhere.
        if (!(std::abs(candidate - wanted) * zoom <= kSnapDistance))
            break;
        placed.time = candidate;
        if (canPlace(placed))
            return candidate;
    }
    return std::nullopt;
}

#pragma once

#include "mediaasset.h"
#include "timelineevent.h"
#include "timelinelane.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <optional>

// The placement rules of one cue's timeline: clips of one lane never overlap, and a placed clip snaps to the edges
// of its neighbours on the lane. Built for one question at a time from the cue's events and the library; keeps
// references to both (and to the places given), so it must not outlive them.
class ClipPlacement
{
  public:
    // Overlaps up to this long are forgiven, so that clips that touch always fit.
    static constexpr double kOverlapTolerance = 1e-6;
    // How near on screen, in points, an edge must be to snap to it.
    static constexpr double kSnapDistance = 8;

    ClipPlacement(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets);
    // With the entries' places by id made already (the engine's, for its own show's library).
    ClipPlacement(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets,
                  const QHash<QUuid, qsizetype>& places);
    ClipPlacement(const ClipPlacement&) = delete;
    ClipPlacement& operator=(const ClipPlacement&) = delete;

    const MediaAsset* asset(const TimelineEvent& event) const;
    // The clip's length, or none when it runs open-ended (audio, a video not yet measured, a message).
    std::optional<double> mediaDuration(const TimelineEvent& event) const;
    // Whether the event may stand where it is without overlapping another clip of its lane.
    bool canPlace(const TimelineEvent& event) const;
    // The same for a clip of the given length (none: open-ended), whatever its own length says.
    bool canPlace(const TimelineEvent& event, std::optional<double> length) const;
    // Where an event wanted at this time would start on the lane: a nearby clip edge when snapping, else the grid
    // time; none when it fits at neither.
    std::optional<double> placementTime(double wanted, const TimelineEvent& event, const TimelineLane& lane, bool snap,
                                        double zoom) const;

  private:
    std::optional<double> snappedTime(double wanted, const TimelineEvent& event, const TimelineLane& lane,
                                      double zoom) const;

    const QList<TimelineEvent>& m_events;
    const QList<MediaAsset>& m_assets;
    // The first entry with each id, by its place in m_assets.
    QHash<QUuid, qsizetype> m_ownPlaces;
    const QHash<QUuid, qsizetype>& m_places;
};

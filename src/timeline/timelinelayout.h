#pragma once

#include "show.h"

#include <QList>
#include <QPointF>
#include <optional>

class EditedCue;
class TimelineSelection;
class TimelineViewState;

// Where the edited cue's clips lie in the timeline's viewport at the current zoom and scroll position, and how far
// the timeline reaches. Reads only.
class TimelineLayout
{
  public:
    // A clip as a lane draws it: its event and library entry, and where it lies in the viewport.
    struct LaneClip
    {
        TimelineEvent event;
        std::optional<MediaAsset> asset;
        double x = 0;
        double width = 0;
    };

    TimelineLayout(const EditedCue& cue, const TimelineSelection& selection, const TimelineViewState& view);

    double drawnWidth(const TimelineEvent& event) const;
    // The clips of a lane that show in a viewport this wide, in the cue's order; events outside the day are left out.
    QList<LaneClip> visibleClips(const TimelineLane& lane, double viewportWidth) const;
    // The event whose clip lies under a viewport point; the later one in the cue wins where clips overlap.
    std::optional<TimelineEvent> eventAt(QPointF point) const;
    // The end of the horizontal scroll range.
    double navigationLimit() const;

  private:
    const EditedCue& m_cue;
    const TimelineSelection& m_selection;
    const TimelineViewState& m_view;
};

#pragma once

#include "show.h"
#include "timelineviewstate.h"

#include <QPointF>
#include <QUuid>
#include <optional>

class EditedCue;
class TimelineCueEdits;
class TimelineSelection;

// The operator's gestures that place clips on the edited cue: adding the selected library entry at the insertion
// time, dropping one on a lane, dragging a clip to another time or lane, and dragging a picture's duration. Clips
// of a lane never overlap and snap to their neighbours while snapping is on; a refusal goes to the note.
class ClipPlacementEdits
{
  public:
    using ClipMove = TimelineViewState::ClipMove;

    ClipPlacementEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                       TimelineCueEdits& edits);
    // A resize drag cut short still ends, so that later edits are not joined to it.
    ~ClipPlacementEdits();

    // A library entry to place on a lane of a cue, at a time (snapped, unless bypassed, and kept off other clips).
    struct ClipAt
    {
        QUuid cue;
        TimelineLane lane;
        QUuid asset;
        double time = 0;
    };

    bool canAdd() const;
    std::optional<double> placementTime(double wanted, const TimelineEvent& event, const TimelineLane& lane,
                                        bool bypassSnap) const;
    // Places the selected library asset at the insertion time on the selected lane.
    bool addEvent(bool bypassSnap);
    // Places a clip in a copy of the show, which is written when the clip was placed; otherwise the fallback is
    // written, when there is one. The clip placed is selected when its cue is the one edited.
    bool placeClip(Show show, const ClipAt& clip, const std::optional<Show>& fallback, bool bypassSnap);
    // A library asset dropped on a lane at a viewport x.
    bool dropAsset(const QUuid& assetID, const TimelineLane& lane, double x, bool bypassSnap);

    // Where a clip dragged to this viewport point, moved horizontally by translationX since the press, would land.
    std::optional<ClipMove> clipDestination(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer,
                                            double translationX, double width, double viewportWidth,
                                            bool bypassSnap) const;
    // The steps of a clip drag: each move shows where it would land; the release moves it there or sets the note.
    void dragClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer, double translationX,
                  double width, double viewportWidth, bool bypassSnap);
    void dropClip(const TimelineEvent& event, const MediaAsset& asset, QPointF pointer, double translationX,
                  double width, double viewportWidth, bool bypassSnap);
    void cancelClipDrag();

    // The steps of a picture's duration drag, measured from the duration at the start of the drag; the drag's
    // accepted steps make one undo step.
    void resizePicture(const TimelineEvent& event, const MediaAsset& asset, double translationX);
    void endPictureResize();

    enum class AddOutcome { refused, outOfRange, overlaps, added };
    // Places the clip in this copy of the show; `added` names it: a null id asks for a new clip, another gives the
    // clip that id (one clip placed in several versions of the show).
    AddOutcome placeIn(Show& show, const ClipAt& clip, bool bypassSnap, QUuid& added);
    // The note and the selection after a placement.
    void finishAdd(AddOutcome outcome, const QUuid& added, bool inEditedCue);

  private:
    bool snaps(bool bypassSnap) const;

    const EditedCue& m_cue;
    TimelineSelection& m_selection;
    TimelineViewState& m_view;
    TimelineCueEdits& m_edits;
    bool m_resizeDragging = false;
};

#pragma once

#include "enums.h"
#include "show.h"

#include <QList>
#include <QUuid>
#include <functional>
#include <optional>

class EditedCue;
class TimelineSelection;
class TimelineViewState;

// The edits of the edited cue's lanes and events, apart from placing clips. Each edit that changes the show writes it
// back to the engine once, which records one undo step; without an edited cue nothing is written. Refusals go to
// the view state's note.
class TimelineCueEdits
{
  public:
    TimelineCueEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view);

    void updateEvents(const QList<TimelineEvent>& events);

    // A lane one layer above the highest of its kind, then selected.
    void addLayer(Track track, std::optional<ScreenRole> screen);
    // Asks for confirmation (layerToDelete) when the lane holds events, else deletes it.
    void requestLayerDeletion(const TimelineLane& lane);
    // Deletes the lane with its events; a default lane is remembered as hidden.
    void deleteLayer(const TimelineLane& lane);

    // Selects the event and its lane; a communication event opens as the message draft.
    void editEvent(const TimelineEvent& event);
    void deleteEvent(const QUuid& id);
    // The event inspector writes an edited event through this; the cue index is the one it was opened for.
    bool applyEventEdit(int cueIndex, const TimelineEvent& edited);
    // A picture duration as typed, or none when it is not a number.
    static std::optional<double> typedPictureDuration(double seconds);
    // Whether the inspector shows a video's sound as switched off.
    static bool videoSoundOff(const TimelineEvent& event);

    static TimelineEvent newMessage(double time);
    // Opens a new communication event at the insertion time.
    void openNewMessage();
    // The message sheet's save: replaces the event of that id or appends it, then selects it.
    void saveMessage(const TimelineEvent& event);

  private:
    void writeCue(const std::function<void(Cue&)>& change);

    const EditedCue& m_cue;
    TimelineSelection& m_selection;
    TimelineViewState& m_view;
};

#pragma once

#include "show.h"

#include <QList>
#include <QUrl>
#include <optional>

class ClipPlacementEdits;
class EditedCue;
class TimelineSelection;
class TimelineViewState;

// The edits of the show's media library: importing files, removing the selected entry, and importing one file
// straight onto a lane. Results and refusals go to the note.
class MediaLibraryEdits
{
  public:
    MediaLibraryEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                      ClipPlacementEdits& placement);

    void addAssets(const QList<QUrl>& urls);
    // Refused while an event of any cue uses the selected entry.
    void removeAsset();
    // Adds the file to the library and places it on the lane at that time, as one edit.
    void insertFile(const QUrl& file, const TimelineLane& lane, double time);

  private:
    // The library with the files added (none when no file was new), and the note that says so; the last file
    // handled becomes the selection.
    std::optional<QList<MediaAsset>> withAddedAssets(const Show& show, const QList<QUrl>& urls);

    const EditedCue& m_cue;
    TimelineSelection& m_selection;
    TimelineViewState& m_view;
    ClipPlacementEdits& m_placement;
};

#pragma once

#include "show.h"

#include <QHash>
#include <QList>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class ClipPlacementEdits;
class EditedCue;
class TimelineSelection;
class TimelineViewState;

// Where a file asked for a lane goes: the show in place when it was asked (Engine::showNumber), and there the
// cue, the lane and the time; no cue when none was edited.
struct ClipTarget
{
    quint64 show = 0;
    std::optional<QUuid> cue;
    TimelineLane lane;
    double time = 0;
    // The lane was there when the file was asked for; deleted since, the clip goes with it.
    bool laneShown = false;
};

// The edits of the show's media library: importing files, removing the selected entry, and importing one file
// straight onto a lane. Results and refusals go to the note. An import waits for the disk's fresh answers about its
// files without holding the main thread, in its turn among the engine's waiting edits, and is made on the show as it
// is when they have come, if that is still the show it was asked for and its edit before is still in place.
class MediaLibraryEdits
{
  public:
    MediaLibraryEdits(const EditedCue& cue, TimelineSelection& selection, TimelineViewState& view,
                      ClipPlacementEdits& placement);
    ~MediaLibraryEdits();

    // For the show in place now, or for the one numbered `forShow` (files asked for it by a panel).
    void addAssets(const QList<QUrl>& urls);
    void addAssets(const QList<QUrl>& urls, quint64 forShow);
    // An import is still waiting for the disk.
    bool importing() const;
    // Imports an open or an undo took back go nowhere: once none waits, the note no longer says files are read.
    void waitsChanged();
    // Refused while an event of any cue uses the selected entry.
    void removeAsset();
    // Adds the file to the library and places it on the lane at that time, as one edit: on the cue edited now, or
    // on the target's.
    void insertFile(const QUrl& file, const TimelineLane& lane, double time);
    void insertFile(const QUrl& file, const ClipTarget& target);
    // Where a file asked for now for that lane and time goes.
    ClipTarget targetNow(const TimelineLane& lane, double time) const;

  private:
    // What one file of an import came to once its answer was in: the entry's file and kind, or no kind when it is
    // left out (silent: its folder gave no answer).
    struct ImportedFile
    {
        std::optional<QUrl> file;
        std::optional<AssetKind> kind;
        bool silent = false;
    };
    using Imported = QList<ImportedFile>;
    struct Addition;

    ImportedFile imported(const QUrl& file);
    // The library with the files added (none when no file was new), the entries added, the entry of the last file
    // handled and the note that says so.
    struct Added
    {
        std::optional<QList<MediaAsset>> library;
        QList<MediaAsset> entries;
        std::optional<QUuid> handled;
        QString note;
    };
    Added withAddedAssets(const Show& show, Addition& addition);
    void tellAdded(const Added& added, const Addition& asked, bool withNote = true);
    using Landing = std::function<void(Addition&, quint64 edit)>;
    // Runs `then` with what each file came to, in order, once the disk has answered afresh for every file of the
    // import or its folder has stalled, in its turn among the engine's waiting edits; only when the import lands on
    // the show and edit it was asked after. The answers are read a slice each turn of the event loop, and with them
    // the library as it was asked on is looked through, so that landing on it takes no look-up per entry.
    void afterAnswers(const QString& name, const QList<QUrl>& urls, Landing then);
    void insertAnsweredFile(const QUrl& file, Addition& answered, const ClipTarget& target, quint64 edit);
    bool inPlace(quint64 show) const;
    bool landOrTell(quint64 edit, const std::function<Show(const Show&)>& made);

    const EditedCue& m_cue;
    TimelineSelection& m_selection;
    TimelineViewState& m_view;
    ClipPlacementEdits& m_placement;
    // The engine's waiting edits that are imports of this library.
    QList<quint64> m_imports;
    // Tells the imports still waiting whether the library they were asked for is still there.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // The note said while files are read, taken off once no import of this library waits.
    QString m_readingNote;
    // The entry the last import to land selected, and the moment (Engine::momentNow()) of its press: an import pressed
    // after it selects over it, as it would had both landed at their presses.
    std::optional<QUuid> m_landedEntry;
    quint64 m_landedAt = 0;
    // The moment of the press whose import or file told the library last.
    quint64 m_toldAt = 0;
    // A file's kind comes from its name's ending alone: each ending is looked up once in the type database.
    QHash<QString, std::optional<AssetKind>> m_kindOfEnding;
};

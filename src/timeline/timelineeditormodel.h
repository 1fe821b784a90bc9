#pragma once

#include "clipplacementedits.h"
#include "editedcue.h"
#include "medialibraryedits.h"
#include "timelinecueedits.h"
#include "timelinelayout.h"
#include "timelinemenuitem.h"
#include "timelineselection.h"
#include "timelineviewstate.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QUrl>
#include <functional>
#include <optional>

class Engine;

// Everything the timeline editor decides, without a widget, in parts that each own one concern: the edited cue as
// the engine's show holds it, the selection, the view state, the clips' layout, the edits of lanes and events, the
// placement of clips and the media library's edits. It serves what spans them: the pointer on the timeline, the
// context menu, a change of the edited cue and requests to open an event. Widgets draw from the parts, redraw on
// changed() and forward input to their operations.
class TimelineEditorModel : public QObject
{
    Q_OBJECT
  public:
    // Picks one media file of a kind for the menu's add entries (an open panel in the application), answering later
    // and not at all on cancel.
    using MediaFileChooser = std::function<void(AssetKind, std::function<void(const QUrl&)> chosen)>;

    explicit TimelineEditorModel(Engine* engine, QObject* parent = nullptr);

    const EditedCue& cue() const { return m_cue; }
    TimelineSelection& selection() { return m_selection; }
    TimelineViewState& view() { return m_view; }
    const TimelineLayout& layout() const { return m_layout; }
    TimelineCueEdits& edits() { return m_edits; }
    ClipPlacementEdits& placement() { return m_placement; }
    MediaLibraryEdits& library() { return m_library; }

    // A left press or drag on a lane (or on the ruler, without a lane): selects the lane, moves the insertion time,
    // and asks for a preview of the edited cue there.
    void positionPointer(std::optional<TimelineLane> lane, double x);
    // The context menu's entries for a right click at a viewport point.
    QList<TimelineMenuItem> insertionMenu(QPointF point);
    void setMediaFileChooser(MediaFileChooser chooser) { m_chooseMediaFile = std::move(chooser); }

  signals:
    // Editor state or the show changed: redraw.
    void changed();
    // The console should switch its monitors to the preview pictures.
    void showPreviewRequested();

  private:
    Engine* engine() const { return m_cue.engine(); }
    void chooseAndInsert(AssetKind kind, const TimelineLane& lane, double time);
    void selectedCueChanged();
    void serveFocusRequest();

    EditedCue m_cue;
    TimelineSelection m_selection;
    TimelineViewState m_view;
    TimelineLayout m_layout;
    TimelineCueEdits m_edits;
    ClipPlacementEdits m_placement;
    MediaLibraryEdits m_library;
    // The show (Engine::showNumber()) the editor shows: an opened one starts with no library entry selected.
    quint64 m_shownShow = 0;
    MediaFileChooser m_chooseMediaFile;
    bool m_focusQueued = false;
};

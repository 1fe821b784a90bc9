#pragma once

#include "engine.h"
#include "enums.h"
#include "show.h"
#include "timelinegeometry.h"
#include "timelinemenuitem.h"

#include <QList>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <optional>

// Everything the timeline editor decides, without a widget: the editor's state, the values it derives from the
// engine's show (the edited cue, its events and lanes, the selected lane), and every edit as one operation. Each
// operation that changes the show writes it back to the engine once, which records one undo step; without an edited
// cue nothing is written. Refusals and results go to the one-line note, which reaches the engine's status line.
// Widgets draw from this state, redraw on changed() and forward input to the operations.
class TimelineEditorModel : public QObject
{
    Q_OBJECT
  public:
    // A pending preview of a cue at a time, for the editor's scrub task.
    struct ScrubRequest
    {
        QUuid cue;
        double time = 0;
        bool operator==(const ScrubRequest&) const = default;
    };
    // Where a clip being dragged would land, and how wide it is drawn.
    struct ClipMove
    {
        QUuid id;
        TimelineLane lane;
        double time = 0;
        double width = 0;
        bool operator==(const ClipMove&) const = default;
    };
    // A clip as a lane draws it: its event and library entry, and where it lies in the viewport.
    struct LaneClip
    {
        TimelineEvent event;
        std::optional<MediaAsset> asset;
        double x = 0;
        double width = 0;
    };
    // Picks one media file of a kind for the menu's add entries (an open panel in the application).
    using MediaFileChooser = std::function<std::optional<QUrl>(AssetKind)>;

    explicit TimelineEditorModel(Engine* engine, QObject* parent = nullptr);
    ~TimelineEditorModel() override;

    Engine* engine() const { return m_engine; }

    // Editor state.
    std::optional<QUuid> assetID() const { return m_assetID; }
    void setAssetID(std::optional<QUuid> id);
    QString assetSearch() const { return m_assetSearch; }
    void setAssetSearch(const QString& text);
    // On at start; the application keeps it in the user setting "timelineSnapEnabled".
    bool snapEnabled() const { return m_snapEnabled; }
    void setSnapEnabled(bool enabled);
    std::optional<QUuid> eventID() const { return m_eventID; }
    // Selecting an event also selects its lane and moves the insertion time to its start.
    void setEventID(std::optional<QUuid> id);
    Track track() const { return m_track; }
    qint64 layer() const { return m_layer; }
    ScreenRole selectedScreen() const { return m_selectedScreen; }
    double insertion() const { return m_insertion; }
    // As typed: not clamped.
    void setInsertion(double seconds);
    double zoom() const { return m_view.zoom; }
    void setZoom(double pointsPerSecond);
    double scrollTime() const { return m_view.scrollTime; }
    void setScrollTime(double seconds);
    QString note() const { return m_note; }
    // Every text that is not empty also goes to the engine's status line, each time it is set.
    void setNote(const QString& text);
    bool dropTargeted() const { return m_dropTargeted; }
    void setDropTargeted(bool targeted);
    std::optional<TimelineLane> targetedLane() const { return m_targetedLane; }
    // A library drag hovers over a lane or leaves it; message lanes are never highlighted.
    void setLaneTargeted(const TimelineLane& lane, bool targeted);
    const std::optional<TimelineEvent>& messageDraft() const { return m_messageDraft; }
    void setMessageDraft(std::optional<TimelineEvent> draft);
    std::optional<TimelineLane> layerToDelete() const { return m_layerToDelete; }
    void setLayerToDelete(std::optional<TimelineLane> lane);
    std::optional<double> resizeStart() const { return m_resizeStart; }
    std::optional<ScrubRequest> scrubRequest() const { return m_scrubRequest; }
    std::optional<ClipMove> movingClip() const { return m_movingClip; }

    // Derived from the engine's show on every call.
    std::optional<int> cueIndex() const;
    QList<TimelineEvent> events() const;
    QList<MediaAsset> assets() const;
    QList<TimelineLane> lanes() const;
    // The lane the selection names, or the first lane while it names none of them.
    TimelineLane selectedLane() const;
    // The selected screen while the show has it, else the show's first screen.
    ScreenRole effectiveScreen() const;
    // The edited cue is the one on air.
    bool isLive() const;
    // Whether the lane header shows this lane as the selected one.
    bool isHighlightedLane(const TimelineLane& lane) const;
    // The library entry the event plays, or none.
    std::optional<MediaAsset> asset(const TimelineEvent& event) const;
    int eventCount(const TimelineLane& lane) const;

    // Lanes and events.
    void selectLane(const TimelineLane& lane);
    // A lane one layer above the highest of its kind, then selected.
    void addLayer(Track track, std::optional<ScreenRole> screen);
    // Asks for confirmation (layerToDelete) when the lane holds events, else deletes it.
    void requestLayerDeletion(const TimelineLane& lane);
    // Deletes the lane with its events; a default lane is remembered as hidden.
    void deleteLayer(const TimelineLane& lane);
    // Selects the event and its lane; a communication event opens as the message draft.
    void editEvent(const TimelineEvent& event);
    void deleteEvent(const QUuid& id);
    void updateEvents(const QList<TimelineEvent>& events);

    // Placement.
    bool canAdd() const;
    std::optional<double> mediaDuration(const TimelineEvent& event) const;
    bool canPlace(const TimelineEvent& event) const;
    std::optional<double> placementTime(double wanted, const TimelineEvent& event, const TimelineLane& lane,
                                        bool bypassSnap) const;
    // Places the selected library asset at the insertion time on the selected lane.
    bool addEvent(bool bypassSnap);
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

    // The timeline area.
    double timeAt(double x) const;
    void zoomAbout(double delta, double x);
    void pan(double dx);
    QList<TimelineGeometry::RulerLabel> rulerLabels(double viewportWidth) const;
    double drawnWidth(const TimelineEvent& event) const;
    // The clips of a lane that show in a viewport this wide, in the cue's order; events outside the day are left out.
    QList<LaneClip> visibleClips(const TimelineLane& lane, double viewportWidth) const;
    // A left press or drag on a lane (or on the ruler, without a lane): selects the lane, moves the insertion time,
    // and asks for a preview of the edited cue there.
    void positionPointer(std::optional<TimelineLane> lane, double x);
    // A library asset dropped on a lane at a viewport x.
    bool dropAsset(const QUuid& assetID, const TimelineLane& lane, double x, bool bypassSnap);
    // The event whose clip lies under a viewport point; the later one in the cue wins where clips overlap.
    std::optional<TimelineEvent> eventAt(QPointF point) const;
    // The context menu's entries for a right click at a viewport point.
    QList<TimelineMenuItem> insertionMenu(QPointF point);
    void setMediaFileChooser(MediaFileChooser chooser) { m_chooseMediaFile = std::move(chooser); }

    // Controls, event picker and horizontal navigation.
    // The edited cue's events by time; equal times keep their order in the cue.
    QList<TimelineEvent> pickerEvents() const;
    QString pickerText(const TimelineEvent& event) const;
    // The end of the horizontal scroll range.
    double navigationLimit() const;

    // The event inspector writes an edited event through this; the cue index is the one it was opened for.
    bool applyEventEdit(int cueIndex, const TimelineEvent& edited);
    // A picture duration as typed, or none when it is not a number.
    static std::optional<double> typedPictureDuration(double seconds);
    // Whether the inspector shows a video's sound as switched off.
    static bool videoSoundOff(const TimelineEvent& event);

    // Communication events.
    static TimelineEvent newMessage(double time);
    // Opens a new communication event at the insertion time.
    void openNewMessage();
    // The message sheet's save: replaces the event of that id or appends it, then selects it.
    void saveMessage(const TimelineEvent& event);

    // The media library.
    void addAssets(const QList<QUrl>& urls);
    // Refused while an event of any cue uses the selected entry.
    void removeAsset();
    // Adds the file to the library and places it on the lane at that time, as one edit.
    void insertFile(const QUrl& file, const TimelineLane& lane, double time);

  signals:
    // Editor state or the show changed: redraw.
    void changed();
    void snapEnabledChanged(bool enabled);
    void messageDraftChanged();
    void layerToDeleteChanged();
    void scrubRequestChanged();
    // The console should switch its monitors to the preview pictures.
    void showPreviewRequested();

  private:
    enum class AddOutcome { refused, outOfRange, overlaps, added };

    std::optional<int> cueIndexIn(const Show& show) const;
    QList<TimelineLane> lanesIn(const Show& show) const;
    TimelineLane selectedLaneIn(const Show& show, const QList<TimelineLane>& lanes) const;
    ScreenRole effectiveScreenIn(const Show& show) const;
    AddOutcome addEventIn(Show& show, bool bypassSnap, QUuid& added);
    void finishAdd(AddOutcome outcome, const QUuid& added);
    // The library with the files added (none when no file was new), and the note that says so; the last file
    // handled becomes the selection.
    std::optional<QList<MediaAsset>> withAddedAssets(const Show& show, const QList<QUrl>& urls);
    void writeCue(const std::function<void(Cue&)>& change);
    void chooseAndInsert(AssetKind kind, const TimelineLane& lane, double time);

    void setLaneSelection(Track track, qint64 layer, std::optional<ScreenRole> screen);
    void setResizeStart(std::optional<double> start);
    void setMovingClip(std::optional<ClipMove> move);
    void followSelectedEvent();
    void selectedCueChanged();
    void serveFocusRequest();

    QPointer<Engine> m_engine;
    std::optional<QUuid> m_assetID;
    QString m_assetSearch;
    bool m_snapEnabled = true;
    std::optional<QUuid> m_eventID;
    Track m_track = Track::main;
    ScreenRole m_selectedScreen = kScreen1;
    double m_insertion = 0;
    TimelineGeometry::View m_view;
    QString m_note;
    bool m_dropTargeted = false;
    std::optional<TimelineLane> m_targetedLane;
    qint64 m_layer = 1;
    std::optional<TimelineEvent> m_messageDraft;
    std::optional<TimelineLane> m_layerToDelete;
    std::optional<double> m_resizeStart;
    bool m_resizeDragging = false;
    std::optional<ScrubRequest> m_scrubRequest;
    std::optional<ClipMove> m_movingClip;
    MediaFileChooser m_chooseMediaFile;
    bool m_focusQueued = false;
};

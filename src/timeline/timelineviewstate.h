#pragma once

#include "show.h"
#include "timelinegeometry.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <optional>

class Engine;

// How the timeline editor shows the edited cue, apart from the selection: zoom and scroll position, the snap switch,
// the library's search text, the one-line note, what a drag in progress targets, and the sheet and alert it asks
// for. Emits changed() whenever any of it moves.
class TimelineViewState : public QObject
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

    explicit TimelineViewState(Engine* engine, QObject* parent = nullptr);

    double zoom() const { return m_view.zoom; }
    void setZoom(double pointsPerSecond);
    double scrollTime() const { return m_view.scrollTime; }
    void setScrollTime(double seconds);
    void zoomAbout(double delta, double x);
    void pan(double dx);
    double timeAt(double x) const;
    QList<TimelineGeometry::RulerLabel> rulerLabels(double viewportWidth) const;

    // On at start; the application keeps it in the user setting "timelineSnapEnabled".
    bool snapEnabled() const { return m_snapEnabled; }
    void setSnapEnabled(bool enabled);
    QString assetSearch() const { return m_assetSearch; }
    void setAssetSearch(const QString& text);
    QString note() const { return m_note; }
    // Every text that is not empty also goes to the engine's status line, each time it is set.
    void setNote(const QString& text);

    bool dropTargeted() const { return m_dropTargeted; }
    void setDropTargeted(bool targeted);
    std::optional<TimelineLane> targetedLane() const { return m_targetedLane; }
    // A library drag hovers over a lane or leaves it; message lanes are never highlighted.
    void setLaneTargeted(const TimelineLane& lane, bool targeted);
    std::optional<ClipMove> movingClip() const { return m_movingClip; }
    void setMovingClip(std::optional<ClipMove> move);
    std::optional<double> resizeStart() const { return m_resizeStart; }
    void setResizeStart(std::optional<double> start);

    const std::optional<TimelineEvent>& messageDraft() const { return m_messageDraft; }
    void setMessageDraft(std::optional<TimelineEvent> draft);
    std::optional<TimelineLane> layerToDelete() const { return m_layerToDelete; }
    void setLayerToDelete(std::optional<TimelineLane> lane);
    // The cue shown changed: the message draft, the lane's deletion prompt and the note go, but for those opened
    // after the moment `lateAt` (a selection that counts from then, its answers late).
    void dropOpened(std::optional<quint64> lateAt);
    std::optional<ScrubRequest> scrubRequest() const { return m_scrubRequest; }
    // Each request is announced, also one equal to the last.
    void requestScrub(const ScrubRequest& request);
    void clearScrubRequest();

  signals:
    // An event was opened for editing ("编辑事件…", a double click, a request from elsewhere in the console): its
    // inspector should come into view.
    void eventOpened();
    void changed();
    void snapEnabledChanged(bool enabled);
    void messageDraftChanged();
    void layerToDeleteChanged();
    void scrubRequestChanged();

  private:
    QPointer<Engine> m_engine;
    TimelineGeometry::View m_view;
    bool m_snapEnabled = true;
    QString m_assetSearch;
    QString m_note;
    bool m_dropTargeted = false;
    std::optional<TimelineLane> m_targetedLane;
    std::optional<ClipMove> m_movingClip;
    std::optional<double> m_resizeStart;
    std::optional<TimelineEvent> m_messageDraft;
    std::optional<TimelineLane> m_layerToDelete;
    // The moment (Engine::momentNow()) each was opened at, and the cue shown.
    quint64 m_noteAt = 0;
    quint64 m_draftAt = 0;
    quint64 m_promptAt = 0;
    quint64 m_shownAt = 0;
    quint64 momentNow() const;
    std::optional<ScrubRequest> m_scrubRequest;
};

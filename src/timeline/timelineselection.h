#pragma once

#include "enums.h"
#include "show.h"

#include <QObject>
#include <QUuid>
#include <optional>

class EditedCue;

// What the operator has picked in the timeline editor: the selected lane (track, layer and screen), event and
// library entry, and the insertion time. Emits changed() whenever one of them moves.
class TimelineSelection : public QObject
{
    Q_OBJECT
  public:
    explicit TimelineSelection(const EditedCue& cue, QObject* parent = nullptr);

    std::optional<QUuid> assetID() const { return m_assetID; }
    void setAssetID(std::optional<QUuid> id);
    std::optional<QUuid> eventID() const { return m_eventID; }
    // Selecting an event also selects its lane and moves the insertion time to its start.
    void setEventID(std::optional<QUuid> id);

    Track track() const { return m_track; }
    qint64 layer() const { return m_layer; }
    ScreenRole selectedScreen() const { return m_selectedScreen; }
    // A lane without screen leaves the selected screen as it was.
    void selectLane(const TimelineLane& lane);

    double insertion() const { return m_insertion; }
    // As typed: not clamped.
    void setInsertion(double seconds);

    // The lane the selection names, or the first lane while it names none of them.
    TimelineLane selectedLane() const;
    TimelineLane selectedLaneIn(const Show& show, const QList<TimelineLane>& lanes) const;
    // The selected screen while the show has it, else the show's first screen.
    ScreenRole effectiveScreen() const;
    ScreenRole effectiveScreenIn(const Show& show) const;
    // Whether the lane header shows this lane as the selected one.
    bool isHighlightedLane(const TimelineLane& lane) const;

  signals:
    void changed();

  private:
    void followSelectedEvent();

    const EditedCue& m_cue;
    std::optional<QUuid> m_assetID;
    std::optional<QUuid> m_eventID;
    Track m_track = Track::main;
    qint64 m_layer = 1;
    ScreenRole m_selectedScreen = kScreen1;
    double m_insertion = 0;
};

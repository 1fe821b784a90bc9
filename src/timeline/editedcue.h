#pragma once

#include "clipplacement.h"
#include "engine.h"
#include "show.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <optional>

// The cue the timeline editor edits, read from the engine's show on every call: the cue the console has selected,
// its events, the library and the lanes shown. It changes nothing; it only remembers the lanes it last derived, with
// the values they came from, since every redraw asks for them.
class EditedCue
{
  public:
    explicit EditedCue(Engine* engine);

    Engine* engine() const { return m_engine; }

    std::optional<int> cueIndex() const;
    std::optional<int> cueIndexIn(const Show& show) const;
    QList<TimelineEvent> events() const;
    QList<MediaAsset> assets() const;
    // The placement rules over these events and the engine's library as assets() gives it, found by the places the
    // engine keeps for it rather than by a table made for each question.
    ClipPlacement placement(const QList<TimelineEvent>& events, const QList<MediaAsset>& library) const;
    QList<TimelineLane> lanes() const;
    QList<TimelineLane> lanesIn(const Show& show) const;
    // The events that lie on a lane (TimelineLane::matches), in stored order.
    QList<TimelineEvent> eventsOn(const TimelineLane& lane) const;
    // The edited cue is the one on air.
    bool isLive() const;
    // The library entry the event plays, or none.
    std::optional<MediaAsset> asset(const TimelineEvent& event) const;
    int eventCount(const TimelineLane& lane) const;
    std::optional<double> mediaDuration(const TimelineEvent& event) const;
    // Whether the event may stand where it is among the other events.
    bool canPlace(const TimelineEvent& event) const;

    // The event picker's list: events by time; equal times keep their order in the cue.
    QList<TimelineEvent> pickerEvents() const;
    QString pickerText(const TimelineEvent& event) const;

  private:
    struct DerivedLanes
    {
        std::optional<int> cueIndex;
        std::optional<QList<ScreenRole>> outputScreens;
        QList<Cue> cues;
        QList<TimelineLane> lanes;
        // Each event under its track and layer, and a screen clip also under its screen and layer.
        QHash<TimelineLane, QList<TimelineEvent>> events;
    };
    const DerivedLanes& derived() const;

    QPointer<Engine> m_engine;
    mutable std::optional<DerivedLanes> m_lanes;
};

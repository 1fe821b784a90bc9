#pragma once

#include "mediaasset.h"
#include "timelineevent.h"
#include "videopreloadkey.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <memory>

class Clock;
class TimelineClock;

// The timeline of the cue on air: its events in playing order, how far it has played, and the task that steps it
// every 15 ms. What an event does when it comes due is the engine's; one step is the given function, which tells
// whether the timeline goes on.
class RunningTimeline : public QObject
{
    Q_OBJECT
  public:
    using Step = std::function<bool()>;

    RunningTimeline(std::shared_ptr<Clock> clock, Step step, QObject* parent = nullptr);

    TimelineClock* clock() const { return m_published; }
    double position() const { return m_position; }
    // Where the timeline starts (or stands, while it does not run).
    void setPosition(double position);
    // Takes the position from the clock, while it runs.
    void advance();

    // The events of a cue, stably ordered by time, and the assets they may play.
    void load(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets);
    const QList<TimelineEvent>& events() const { return m_events; }
    const QHash<QUuid, MediaAsset>& assets() const { return m_assets; }
    // The index in the playing order of the next event.
    int index() const { return m_index; }
    bool hasDue() const { return m_index < m_events.size() && m_events.at(m_index).time <= m_position; }
    // A copy: the event may end this cue and start another.
    TimelineEvent takeDue() { return m_events.at(m_index++); }
    bool playedOut() const { return m_index == m_events.size(); }
    // Whether a clip of a known asset comes on the screen from the next event up to the given time.
    bool clipComesOn(const ScreenRole& role, double until) const;
    // Whether the screen has a clip still to come.
    bool clipComesLaterOn(const ScreenRole& role) const { return m_lastScreenEvent.value(role, -1) >= m_index; }
    // Each screen's next video.
    QList<VideoPreloadKey> upcomingVideos() const;
    void removeScreen(const ScreenRole& role);
    // Drops the playing order once it has played out; where it stopped and its assets stay.
    void clearOrder();
    // Stops and forgets the timeline, back at 0.
    void reset();

    // Runs from the position: the first step as soon as the event loop comes round, the others every 15 ms.
    void run();
    // Stops the task where the clock has got to.
    void hold();
    void cancel();
    // One step now, as the task takes it.
    void step();

  private:
    std::shared_ptr<Clock> m_clock;
    Step m_step;
    TimelineClock* m_published;
    QTimer m_task;
    // Counts the starts of the task, so that a first step queued for an older start does nothing.
    quint64 m_run = 0;
    double m_origin = 0;
    double m_position = 0;
    QList<TimelineEvent> m_events;
    QHash<QUuid, MediaAsset> m_assets;
    // For each screen, the indices in the playing order of its video clips.
    QHash<ScreenRole, QList<int>> m_videos;
    // For each screen, the index in the playing order of its last clip.
    QHash<ScreenRole, int> m_lastScreenEvent;
    int m_index = 0;
};

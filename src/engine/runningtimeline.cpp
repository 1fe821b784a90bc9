#include "runningtimeline.h"

#include "clock.h"
#include "timelineclock.h"

#include <numeric>

using namespace std::chrono_literals;

RunningTimeline::RunningTimeline(std::shared_ptr<Clock> clock, Step step, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_step(std::move(step)), m_published(new TimelineClock(this))
{
    m_task.setTimerType(Qt::PreciseTimer);
    m_task.setInterval(15ms);
    connect(&m_task, &QTimer::timeout, this, &RunningTimeline::step);
}

void RunningTimeline::setPosition(double position)
{
    m_position = position;
    m_published->update(position);
}

void RunningTimeline::advance()
{
    setPosition(m_clock->uptime() - m_origin);
}

void RunningTimeline::load(const QList<TimelineEvent>& events, const QList<MediaAsset>& assets)
{
    for (const MediaAsset& asset : assets)
        m_assets.insert(asset.id, asset);

    QList<int> order(events.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return events[a].time < events[b].time; });
    m_events.clear();
    m_events.reserve(events.size());
    for (int index : order) {
        const TimelineEvent& event = events[index];
        const std::optional<ScreenRole> screen = event.screen();
        const auto asset = event.assetID ? m_assets.constFind(*event.assetID) : m_assets.cend();
        if (screen)
            m_lastScreenEvent.insert(*screen, int(m_events.size()));
        if (screen && asset != m_assets.cend() && asset->kind == AssetKind::video)
            m_videos[*screen].append(int(m_events.size()));
        m_events.append(event);
    }
}

bool RunningTimeline::clipComesOn(const ScreenRole& role, double until) const
{
    for (int index = m_index; index < m_events.size(); ++index) {
        const TimelineEvent& event = m_events.at(index);
        if (event.time > until)
            return false;
        if (event.screen() == role && event.assetID && m_assets.contains(*event.assetID))
            return true;
    }
    return false;
}

QList<VideoPreloadKey> RunningTimeline::upcomingVideos() const
{
    QList<VideoPreloadKey> upcoming;
    for (auto screen = m_videos.cbegin(); screen != m_videos.cend(); ++screen) {
        const QList<int>& indices = screen.value();
        const auto next = std::lower_bound(indices.cbegin(), indices.cend(), m_index);
        if (next == indices.cend())
            continue;
        const TimelineEvent& event = m_events.at(*next);
        upcoming.append({screen.key(), m_assets.value(*event.assetID).url});
    }
    return upcoming;
}

void RunningTimeline::removeScreen(const ScreenRole& role)
{
    m_videos.remove(role);
    m_lastScreenEvent.remove(role);
}

void RunningTimeline::clearOrder()
{
    m_events.clear();
    m_videos.clear();
    m_lastScreenEvent.clear();
}

void RunningTimeline::reset()
{
    cancel();
    clearOrder();
    m_index = 0;
    m_assets.clear();
    setPosition(0);
}

void RunningTimeline::run()
{
    m_origin = m_clock->uptime() - m_position;
    cancel();
    const quint64 run = m_run;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run != m_run)
                return;
            step();
            if (run == m_run)
                m_task.start();
        },
        Qt::QueuedConnection);
}

void RunningTimeline::hold()
{
    advance();
    cancel();
}

void RunningTimeline::cancel()
{
    m_task.stop();
    ++m_run;
}

// A step that ends the run stops its own task only: when the end went on to another cue, that cue's run goes on.
void RunningTimeline::step()
{
    const quint64 run = m_run;
    if (!m_step() && run == m_run)
        cancel();
}

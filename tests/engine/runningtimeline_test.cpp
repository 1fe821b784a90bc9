#include "enginefixture.h"
#include "runningtimeline.h"
#include "timelineclock.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

TimelineEvent eventAt(double time, const QString& payload)
{
    TimelineEvent event;
    event.time = time;
    event.track = Track::message;
    event.payload = payload;
    return event;
}

} // namespace

TEST(RunningTimeline, PauseKeepsWhereTheClockWasAndResumeGoesOnFromThereWithoutStaleSteps)
{
    auto clock = std::make_shared<FakeClock>();
    int steps = 0;
    RunningTimeline timeline(clock, [&] { return ++steps < 3; });
    timeline.setPosition(2);
    timeline.run();
    timeline.run();
    QCoreApplication::processEvents();
    EXPECT_EQ(steps, 1);

    clock->now += 3;
    timeline.hold();
    EXPECT_EQ(timeline.position(), 5);
    EXPECT_EQ(timeline.clock()->position(), 5);
    clock->now += 100;
    QCoreApplication::processEvents();
    EXPECT_EQ(steps, 1);

    timeline.run();
    clock->now += 1;
    timeline.advance();
    EXPECT_EQ(timeline.position(), 6);

    timeline.step();
    timeline.step();
    EXPECT_EQ(steps, 3);
    QCoreApplication::processEvents();
    EXPECT_EQ(steps, 3);
}

TEST(RunningTimeline, EventsComeDueInTimeOrderAndEqualTimesKeepTheirOrder)
{
    RunningTimeline timeline(std::make_shared<FakeClock>(), [] { return true; });
    timeline.load({eventAt(1, "a"), eventAt(0.5, "b"), eventAt(1, "c"), eventAt(2, "d")}, {});
    timeline.setPosition(1);
    QStringList due;
    while (timeline.hasDue())
        due.append(timeline.takeDue().payload);
    EXPECT_EQ(due, QStringList({"b", "a", "c"}));
    EXPECT_FALSE(timeline.playedOut());

    timeline.reset();
    EXPECT_TRUE(timeline.events().isEmpty());
    EXPECT_EQ(timeline.index(), 0);
    EXPECT_EQ(timeline.clock()->position(), 0);
}

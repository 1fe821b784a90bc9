#include "enginefixture.h"

#include <QElapsedTimer>
#include <limits>

using TransportControl = EngineTest;

TEST_F(TransportControl, GoTakesTheNextCueAndAfterTheLastOrADeletedOneSaysTheListHasEnded)
{
    EXPECT_EQ(engine->next()->name, QStringLiteral("暖场"));
    engine->go();
    EXPECT_TRUE(onAir(0));
    EXPECT_EQ(engine->selected(), cue(0).id);
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 暖场"));

    engine->go();
    engine->go();
    EXPECT_TRUE(onAir(2));
    EXPECT_FALSE(engine->next());
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("节目单已结束"));
    EXPECT_TRUE(onAir(2));

    engine->take(cue(0));
    edit([](Show& show) { show.cues.removeFirst(); });
    engine->setMessage({});
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("节目单已结束"));
}

TEST_F(TransportControl, DelayIsClampedToAnHourAndCountsOnlyUnpausedTime)
{
    edit([](Show& show) { show.cues[0].delay = 5000; });
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("等待执行 · 暖场"));
    EXPECT_FALSE(engine->current());
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("等待执行 · 暖场"));

    // An hour less a twentieth of a second passes; then a long pause does not count.
    clock->now += 3599.95;
    engine->togglePause();
    EXPECT_TRUE(engine->paused());
    EXPECT_EQ(engine->message(), QStringLiteral("已暂停"));
    clock->now += 600;
    engine->togglePause();
    EXPECT_EQ(engine->message(), QStringLiteral("已继续"));
    EXPECT_FALSE(engine->current());
    ASSERT_TRUE(waitUntil([&] { return onAir(0); }, 10000));
}

TEST_F(TransportControl, PausedCountdownWaitsAndResumesWithTheTimeLeft)
{
    edit([](Show& show) { show.cues[0].delay = 1; });
    engine->go();
    clock->now += 0.1;
    engine->togglePause();
    runEvents(400);
    EXPECT_FALSE(engine->current());
    engine->togglePause();
    QElapsedTimer sinceResume;
    sinceResume.start();
    ASSERT_TRUE(waitUntil([&] { return onAir(0); }, 10000));
    EXPECT_GE(sinceResume.elapsed(), 800) << "0.9 s were left";
    EXPECT_FALSE(engine->paused());
}

TEST_F(TransportControl, NegativeAndNonFiniteDelaysStartAtOnce)
{
    for (double delay : {-2.0, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        engine->stop(true);
        edit([&](Show& show) { show.cues[0].delay = delay; });
        engine->go();
        EXPECT_TRUE(onAir(0)) << delay;
    }
}

TEST_F(TransportControl, TakeDuringACountdownDropsTheDelayedCue)
{
    edit([](Show& show) { show.cues[0].delay = 0.1; });
    engine->go();
    engine->take(cue(2));
    runEvents(300);
    EXPECT_TRUE(onAir(2));
}

TEST_F(TransportControl, TakeAfterAPausedCountdownPlaysUnpaused)
{
    const MediaAsset still = addAsset(stillFile(Qt::red), AssetKind::image);
    setTimeline(1, {clip(still, 0.5)});
    edit([](Show& show) { show.cues[0].delay = 10; });
    engine->go();
    engine->togglePause();
    ASSERT_TRUE(engine->paused());

    takeCue(1);
    EXPECT_FALSE(engine->paused());
    advanceTo(0.6);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
}

TEST_F(TransportControl, PauseNeedsSomethingOnAirAndTakeWhilePausedResumesFirst)
{
    engine->togglePause();
    EXPECT_FALSE(engine->paused());
    EXPECT_EQ(engine->message(), QStringLiteral("就绪"));

    engine->take(cue(0));
    engine->togglePause();
    engine->take(cue(1));
    EXPECT_FALSE(engine->paused());
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 开场"));
}

TEST_F(TransportControl, PauseAndResumeLeaveAnEndedVideoAtItsEnd)
{
    giveVideoAndMusic();
    engine->take(cue(0));
    FakePlayer* ended = playerOf(video);
    FakePlayer* playing = playerOf(music);
    ended->length = 5;
    ended->finish();
    playing->length = 5;
    playing->seconds = 2;

    engine->togglePause();
    EXPECT_FALSE(playing->isPlaying());
    engine->togglePause();
    EXPECT_TRUE(playing->isPlaying());
    EXPECT_FALSE(ended->isPlaying());
}

TEST_F(TransportControl, CueThatFailsThePreflightIsNotTakenAndWhatIsOnAirStays)
{
    engine->take(cue(0));
    edit([](Show& show) { show.cues[1].main = QUrl::fromLocalFile(MediaFixtures::missing() + ".mp4"); });
    // A missing file is asked once more before it refuses the cue; the show goes on meanwhile.
    engine->take(cue(1));
    EXPECT_TRUE(onAir(0));
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("素材缺失 · ")); }));
    EXPECT_TRUE(onAir(0));
    engine->go();
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("素材缺失 · ")); }));
    EXPECT_TRUE(onAir(0));
}

TEST_F(TransportControl, GoAndTakeTellWhetherTheyActed)
{
    edit([](Show& show) { show.cues[0].delay = 5; });
    EXPECT_TRUE(engine->go());
    EXPECT_FALSE(engine->go()) << "a countdown is already waiting";
    EXPECT_TRUE(engine->take(cue(2)));
    EXPECT_FALSE(engine->go()) << "the list has ended";
    EXPECT_TRUE(engine->take(cue(0), true)) << "a countdown counts as acting";
}

TEST_F(TransportControl, StopTakesEverythingOffTheAirAndDropsTheCountdown)
{
    edit([&](Show& show) {
        show.cues[0].main = stillFile(Qt::green);
        show.cues[1].delay = 0.1;
    });
    engine->go();
    engine->go();
    engine->stop(true);
    runEvents(300);
    EXPECT_FALSE(engine->current());
    EXPECT_FALSE(engine->program(kScreen1)->image());
    EXPECT_EQ(engine->message(), QStringLiteral("媒体已停止 · 灯光保持"));
}

TEST_F(TransportControl, DeletingTheCueOfAPausedCountdownLetsGoStartTheNextOne)
{
    engine->take(cue(0));
    edit([](Show& show) { show.cues[1].delay = 10; });
    engine->go();
    engine->togglePause();
    edit([](Show& show) { show.cues.removeAt(1); });
    engine->go();
    EXPECT_EQ(engine->current()->name, cue(1).name) << "GO goes on to the cue now after the one on air";
    EXPECT_FALSE(engine->paused());
}

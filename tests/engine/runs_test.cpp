#include "enginefixture.h"
#include "loopbackreceiver.h"

// Automatic runs over cues of stills, each shown for the run's shortest time, on a clock the test moves.
class ProjectionRuns : public EngineTest
{
  protected:
    void giveStills()
    {
        edit([](Show& show) {
            show.cues[0].main = stillFile(Qt::red);
            show.cues[1].main = stillFile(Qt::green);
            show.cues[2].main = stillFile(Qt::blue);
        });
    }
    // What the console shows of the run: its position and the cue on air.
    QString onAirNow() const
    {
        if (!engine->projectionMode())
            return engine->message();
        return engine->projectionPosition() + QLatin1Char(' ') + engine->current()->name;
    }
    // One second of playing passes; the run moves on.
    void secondPasses()
    {
        clock->now += 1.0;
        runEvents(150);
    }
};

TEST_F(ProjectionRuns, ModesPlayTheirCuesInTurnAndEndOrWrap)
{
    struct Case
    {
        ProjectionMode mode;
        QStringList seen;
    };
    const QList<Case> cases{
        {ProjectionMode::cueOnce, {"1 / 1 开场", "投放完成"}},
        {ProjectionMode::cueLoop, {"1 / 1 开场", "1 / 1 开场", "1 / 1 开场"}},
        {ProjectionMode::playlistOnce, {"1 / 3 暖场", "2 / 3 开场", "3 / 3 退场", "投放完成"}},
        {ProjectionMode::playlistLoop, {"1 / 3 暖场", "2 / 3 开场", "3 / 3 退场", "1 / 3 暖场"}},
    };
    giveStills();
    for (const Case& run : cases) {
        SCOPED_TRACE(rawValue(run.mode).toStdString());
        engine->stop(true);
        ASSERT_TRUE(engine->beginProjection(run.mode, cue(1)));
        QStringList seen{onAirNow()};
        while (seen.size() < run.seen.size()) {
            secondPasses();
            seen.append(onAirNow());
        }
        EXPECT_EQ(seen, run.seen);
        EXPECT_EQ(engine->selected(), cue(0).id) << "a run leaves the selection where it was";
        EXPECT_EQ(engine->current().has_value(), repeats(run.mode));
        EXPECT_EQ(engine->program(kScreen1)->image().has_value(), repeats(run.mode));
    }
}

TEST_F(ProjectionRuns, LoopedStillIsShownAgainEverySecond)
{
    giveStills();
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, cue(0)));
    int shown = 0;
    QObject::connect(engine->program(kScreen1), &Picture::imageChanged,
                     [&] { shown += engine->program(kScreen1)->image().has_value(); });
    clock->now += 0.9;
    runEvents(150);
    EXPECT_EQ(shown, 0);
    for (int second = 1; second <= 3; ++second) {
        clock->now += second == 1 ? 0.1 : 1.0;
        EXPECT_TRUE(waitUntil([&] { return shown == second; }));
    }
    EXPECT_EQ(engine->projectionPosition(), QStringLiteral("1 / 1"));
}

TEST_F(ProjectionRuns, PausedTimeDoesNotCountTowardsTheAdvance)
{
    giveStills();
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    clock->now += 0.9;
    engine->togglePause();
    clock->now += 5;
    runEvents(300);
    EXPECT_EQ(onAirNow(), QStringLiteral("1 / 3 暖场"));
    engine->togglePause();
    clock->now += 0.05;
    runEvents(150);
    EXPECT_EQ(onAirNow(), QStringLiteral("1 / 3 暖场"));
    clock->now += 0.06;
    EXPECT_TRUE(waitUntil([&] { return onAirNow() == QStringLiteral("2 / 3 开场"); }));
}

TEST_F(ProjectionRuns, RefusedRunsSayWhyAndStopNothing)
{
    giveStills();
    engine->take(cue(0));
    EXPECT_FALSE(engine->beginProjection(ProjectionMode::cueOnce, std::nullopt));
    EXPECT_EQ(engine->message(), QStringLiteral("请选择节目"));

    edit([](Show& show) { show.cues[2].main = QUrl::fromLocalFile(MediaFixtures::missing() + ".png"); });
    // A missing file is asked once more before it refuses the run.
    engine->beginProjection(ProjectionMode::playlistLoop, std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("退场 · 素材缺失 · ")); }))
        << engine->message().toStdString();
    EXPECT_TRUE(onAir(0));
    EXPECT_FALSE(engine->projectionMode());

    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, cue(1)));
    EXPECT_FALSE(engine->beginProjection(ProjectionMode::cueOnce, cue(0)));
    EXPECT_TRUE(onAir(1));
    engine->take(cue(0));
    engine->go();
    EXPECT_TRUE(onAir(1)) << "take and GO wait for the run to be stopped";
}

TEST_F(ProjectionRuns, StopEndsTheRunWithoutFinishingIt)
{
    giveStills();
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    engine->stop(true);
    secondPasses();
    EXPECT_FALSE(engine->projectionMode());
    EXPECT_FALSE(engine->current());
    EXPECT_EQ(engine->message(), QStringLiteral("媒体已停止 · 灯光保持"));
}

TEST_F(ProjectionRuns, DirectCueAdvancesWhenAllItsPlayersHaveEnded)
{
    giveVideoAndMusic(EndBehavior::loop);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    clock->now += 10;
    playerOf(video)->finish();
    runEvents(150);
    EXPECT_EQ(onAirNow(), QStringLiteral("1 / 3 暖场")) << "the sound still plays; the cue's own ending plays no part";
    EXPECT_FALSE(shown()) << "the next cue shows no video, so the ended one is taken down";
    playerOf(music)->fail();
    EXPECT_TRUE(waitUntil([&] { return onAirNow() == QStringLiteral("2 / 3 开场"); }));
}

TEST_F(ProjectionRuns, EndedVideoStaysUpWhenTheNextCueOpensWithVideoThere)
{
    edit([&](Show& show) {
        show.cues[0].main = video;
        show.cues[1].main = videoFile(QStringLiteral("next.mp4"));
    });
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    Picture* first = shown();
    playerOf(video)->finish();
    runEvents(20);
    EXPECT_EQ(shown(), first);
    clock->now += 1;
    EXPECT_TRUE(waitUntil([&] { return shown() && shown() != first; }));
}

TEST_F(ProjectionRuns, StopKeepsTheLightsOnTheWire)
{
    LoopbackReceiver node;
    lightOnto(node, Lighting{5, 180, 0});
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, cue(0)));
    ASSERT_TRUE(levelSent(node, 5, 180));
    engine->stop(true);
    EXPECT_EQ(engine->message(), QStringLiteral("媒体已停止 · 灯光保持"));
    runEvents(100);
    node.drain();
    EXPECT_TRUE(levelSent(node, 5, 180));
}

TEST_F(ProjectionRuns, PhoneLoopOfAnInstantTimelineRestartsOncePerSecond)
{
    LoopbackReceiver receiver;
    setTimeline(0, {udpMessage(0, receiver.port(), "cue")});
    takeCue(0, RemotePlaybackMode::loop);
    size_t sent = 0;
    const auto received = [&] { return sent += receiver.drain().size(); };
    EXPECT_TRUE(waitUntil([&] { return received() >= 1; }));
    runEvents(300);
    EXPECT_EQ(received(), 1u);
    clock->now += 1;
    EXPECT_TRUE(waitUntil([&] { return received() >= 2; }));
    runEvents(300);
    EXPECT_EQ(received(), 2u);
    EXPECT_TRUE(onAir(0));
}

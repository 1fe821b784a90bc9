#include "enginefixture.h"
#include "loopbackreceiver.h"
#include "timelineclock.h"

#include <QTcpServer>

using Timeline = EngineTest;

static QList<QByteArray> received(LoopbackReceiver& receiver, int count)
{
    QList<QByteArray> payloads;
    waitUntil(
        [&] {
            for (const ReceivedDatagram& datagram : receiver.drain())
                payloads.append(datagram.bytes);
            return payloads.size() >= count;
        },
        10000);
    return payloads;
}

TEST_F(Timeline, EventsWithEqualTimesRunInStoredOrder)
{
    LoopbackReceiver receiver;
    const quint16 port = receiver.port();
    setTimeline(
        0, {udpMessage(1, port, "b"), udpMessage(0.5, port, "a"), udpMessage(1, port, "c"), udpMessage(1, port, "d")});
    takeCue(0);
    EXPECT_EQ(engine->message(), QStringLiteral("时间轴播出 · 暖场"));
    advanceTo(1);
    EXPECT_EQ(received(receiver, 4), (QList<QByteArray>{"a", "b", "c", "d"}));
    EXPECT_TRUE(waitUntil(
        [&] { return engine->message() == QStringLiteral("消息已发送 · UDP 127.0.0.1:") + QString::number(port); }));
}

TEST_F(Timeline, MessageOnlyTimelineEndsInTheStepOfItsLastEvent)
{
    LoopbackReceiver receiver;
    setTimeline(0, {udpMessage(0, receiver.port(), "first"), udpMessage(0.5, receiver.port(), "last")});
    edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
    // Every step reads the clock once and so moves it on: the steps show up as distinct positions.
    QList<double> positions;
    QObject::connect(engine->timelineClock(), &TimelineClock::positionChanged,
                     [&](double at) { positions.append(at); });
    takeCue(0);
    clock->step = 0.05;
    ASSERT_TRUE(waitUntil([&] { return engine->current()->id == cue(1).id; }));
    clock->step = 0;
    const auto lastDue = std::find_if(positions.cbegin(), positions.cend(), [](double at) { return at >= 0.5; });
    ASSERT_NE(lastDue, positions.cend());
    EXPECT_EQ(std::next(lastDue) + 1, positions.cend()) << "only the reset to 0 follows the step of the last event";
    EXPECT_EQ(positions.last(), 0);
    EXPECT_EQ(received(receiver, 2).size(), 2);
}

TEST_F(Timeline, LateStepRunsEverythingDueAndSeeksVideosThatAreLate)
{
    const MediaAsset early = addAsset(videoFile(QStringLiteral("early.mp4")), AssetKind::video, 60);
    const MediaAsset nearlyOnTime = addAsset(videoFile(QStringLiteral("near.mp4")), AssetKind::video, 60);
    const MediaAsset later = addAsset(videoFile(QStringLiteral("later.mp4")), AssetKind::video, 60);
    const MediaAsset tenthLate = addAsset(videoFile(QStringLiteral("tenth.mp4")), AssetKind::video, 60);
    edit([](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2, kScreen3}; });
    TimelineEvent third = clip(nearlyOnTime, 11.97);
    third.outputScreen = kScreen3;
    setTimeline(0, {clip(early, 10), clip(later, 20, Track::side), third, clip(tenthLate, 11.9, Track::main, 2)});
    takeCue(0);
    EXPECT_FALSE(playerOf(early.url)->isPlaying());
    advanceTo(12);
    EXPECT_EQ(playerOf(early.url)->seeks, QList<double>{2});
    ASSERT_EQ(playerOf(tenthLate.url)->seeks.size(), 1);
    EXPECT_NEAR(playerOf(tenthLate.url)->seeks[0], 0.1, 1e-6);
    EXPECT_TRUE(playerOf(early.url)->isPlaying());
    EXPECT_TRUE(playerOf(nearlyOnTime.url)->seeks.isEmpty());
    EXPECT_TRUE(playerOf(nearlyOnTime.url)->isPlaying());
    EXPECT_FALSE(playerOf(later.url)->isPlaying());
}

TEST_F(Timeline, PauseFreezesTheTimelineAndResumeGoesOnFromThere)
{
    const MediaAsset still = addAsset(stillFile(Qt::red), AssetKind::image);
    setTimeline(0, {clip(still, 30)});
    takeCue(0);
    advanceTo(10);
    engine->togglePause();
    EXPECT_NEAR(engine->timelinePosition(), 10, 1e-9);
    advanceTo(100);
    engine->togglePause();
    started += 90;
    advanceTo(29.9);
    EXPECT_EQ(shownColor(), QColor());
    advanceTo(30.05);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
}

TEST_F(Timeline, AudioClipsPlayPerTrackAndLayerAndANewClipCutsTheOldOneOff)
{
    const MediaAsset first = addAsset(audioFile(QStringLiteral("first.wav")), AssetKind::audio);
    const MediaAsset second = addAsset(audioFile(QStringLiteral("second.wav")), AssetKind::audio);
    const MediaAsset effect = addAsset(audioFile(QStringLiteral("effect.wav")), AssetKind::audio);
    edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
    setTimeline(0, {clip(first, 0, Track::music), clip(effect, 0, Track::effects), clip(second, 1, Track::music)});
    takeCue(0);
    FakePlayer* music = playerOf(first.url);
    ASSERT_TRUE(music && playerOf(effect.url));
    EXPECT_TRUE(music->isPlaying());
    EXPECT_NE(music, playerOf(effect.url));
    advanceTo(1);
    EXPECT_EQ(music->url(), second.url);
    playerOf(effect.url)->finish();
    advanceTo(2);
    EXPECT_EQ(engine->current()->id, cue(0).id) << "the second music clip still plays";
    music->fail();
    advanceTo(3);
    EXPECT_TRUE(onAir(1));
}

TEST_F(Timeline, AudioClipsOfALoopingCueStartAgainAndKeepTheTimelineGoing)
{
    const MediaAsset music = addAsset(audioFile(QStringLiteral("music.wav")), AssetKind::audio);
    edit([](Show& show) {
        show.cues[0].ending = EndBehavior::loop;
        show.cues[1].ending = EndBehavior::next;
    });
    setTimeline(0, {clip(music, 0, Track::music)});
    takeCue(0);
    FakePlayer* player = playerOf(music.url);
    player->finish();
    advanceTo(5);
    EXPECT_EQ(player->seeks, QList<double>{0});
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(Timeline, FailingAudioClipIsReported)
{
    const MediaAsset music = addAsset(audioFile(QStringLiteral("broken.wav")), AssetKind::audio);
    setTimeline(0, {clip(music, 0, Track::music)});
    takeCue(0);
    playerOf(music.url)->fail();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("素材播放失败 · broken.wav"); }))
        << engine->message().toStdString();
}

TEST_F(Timeline, TimelineThatGoesOnToAnotherTimelineLeavesItRunning)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    setTimeline(0, {clip(red, 0)});
    setTimeline(1, {clip(blue, 0.5)});
    edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
    takeCue(0);
    advanceTo(1.05);
    ASSERT_TRUE(onAir(1));
    started = clock->now;
    advanceTo(0.6);
    EXPECT_EQ(shownColor(), QColor(Qt::blue));
}

// Runs once, inside the step that first reaches this position, before its events run.
static void atPosition(Engine& engine, double position, std::function<void()> action)
{
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(engine.timelineClock(), &TimelineClock::positionChanged, &engine,
                             [once, position, action = std::move(action)](double now) {
                                 if (now < position)
                                     return;
                                 QObject::disconnect(*once);
                                 action();
                             });
}

TEST_F(Timeline, FailedMessageNamesItsTargetAndAReplyAfterTheNextCueLeavesTheStatusAlone)
{
    quint16 closed = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
        closed = server.serverPort();
    }
    TimelineEvent refused = udpMessage(0, closed, "x");
    refused.transport = Transport::tcp;
    setTimeline(0, {refused});
    takeCue(0);
    const QString failed = QStringLiteral("消息发送失败 · TCP 127.0.0.1:%1 · ").arg(closed);
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(failed); })) << engine->message().toStdString();

    LoopbackReceiver receiver;
    setTimeline(0, {udpMessage(0.5, receiver.port(), "late")});
    takeCue(0);
    // The operator takes the next cue while the message is on its way.
    atPosition(*engine, 0.5, [&] {
        QMetaObject::invokeMethod(
            engine.get(), [&] { engine->take(cue(1)); }, Qt::QueuedConnection);
    });
    advanceTo(0.6);
    EXPECT_EQ(received(receiver, 1), QList<QByteArray>{"late"});
    runEvents(20);
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 开场"));
}

TEST_F(Timeline, LateEndOfACutOffAudioClipIsIgnored)
{
    const MediaAsset first = addAsset(audioFile(QStringLiteral("first.wav")), AssetKind::audio);
    const MediaAsset second = addAsset(audioFile(QStringLiteral("second.wav")), AssetKind::audio);
    edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
    setTimeline(0, {clip(first, 0, Track::music), clip(second, 1, Track::music)});
    takeCue(0);
    FakePlayer* music = playerOf(first.url);
    // The first clip's end is on its way when the second one cuts it off.
    atPosition(*engine, 1, [&] { emit music->ended(); });
    advanceTo(1.1);
    advanceTo(2);
    EXPECT_TRUE(onAir(0)) << "the second clip still plays";
    EXPECT_TRUE(music->isPlaying());
}

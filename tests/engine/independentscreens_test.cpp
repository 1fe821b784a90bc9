#include "cueforscreen.h"
#include "enginefixture.h"
#include "independentscreens.h"
#include "loopbackreceiver.h"

#include <QCoreApplication>

using ScreensApart = EngineTest;

static TimelineEvent at(double time, Track track, qint64 layer = 1, std::optional<ScreenRole> screen = std::nullopt)
{
    TimelineEvent event;
    event.time = time;
    event.track = track;
    event.layer = layer;
    event.outputScreen = screen;
    event.assetID = QUuid::createUuid();
    return event;
}

TEST(CueForScreen, KeepsTheScreensPicturesAndWhatIsVisibleWhereItIsFrozen)
{
    struct Case
    {
        const char* name;
        QList<TimelineEvent> events;
        ScreenRole role;
        std::optional<double> frozenAt;
        QList<int> kept;
    };
    const QList<Case> cases{
        {"the screen's own picture events only",
         {at(0, Track::main), at(0, Track::side), at(0, Track::music), at(0, Track::message), at(1, Track::main)},
         kScreen1,
         std::nullopt,
         {0, 4}},
        {"a side event sent to the first screen counts there",
         {at(0, Track::side, 1, kScreen1), at(0, Track::side)},
         kScreen1,
         std::nullopt,
         {0}},
        {"frozen at 12: the video from 10 on layer 1, the still to come on layer 2",
         {at(3, Track::main), at(10, Track::main), at(15, Track::main, 2)},
         kScreen1,
         12.0,
         {1, 2}},
        {"on equal times the later one wins; negative times never do",
         {at(-1, Track::main, 2), at(4, Track::main), at(4, Track::main), at(5, Track::main)},
         kScreen1,
         4.5,
         {2, 3}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Cue cue;
        cue.timeline = test.events;
        const Cue copy = cueForScreen(cue, test.role, test.frozenAt);
        QList<int> kept;
        for (const TimelineEvent& event : copy.timeline.value_or(QList<TimelineEvent>{}))
            kept.append(int(std::find(test.events.cbegin(), test.events.cend(), event) - test.events.cbegin()));
        EXPECT_EQ(kept, test.kept);
    }
}

TEST(CueForScreen, DirectCueGivesEachScreenItsFileWithoutSoundLightingOrAutomaticGo)
{
    Cue cue;
    cue.main = QUrl::fromLocalFile("/show/main.mp4");
    cue.side = QUrl::fromLocalFile("/show/side.png");
    cue.sideMirrorsMain = true;
    cue.audio = QUrl::fromLocalFile("/show/music.wav");
    cue.lighting = Lighting{1, 255, 2};
    cue.ending = EndBehavior::next;

    const Cue second = cueForScreen(cue, kScreen2);
    EXPECT_EQ(second.main, cue.main);
    EXPECT_EQ(second.side, cue.main) << "the mirror becomes the second screen's own file";
    EXPECT_FALSE(second.sideMirrorsMain);
    EXPECT_FALSE(second.audio);
    EXPECT_FALSE(second.lighting);
    EXPECT_EQ(second.ending, EndBehavior::hold);
    EXPECT_FALSE(cueForScreen(cue, kScreen1).side);
    EXPECT_FALSE(cueForScreen(cue, kScreen3).main);
    cue.ending = EndBehavior::loop;
    EXPECT_EQ(cueForScreen(cue, kScreen1).ending, EndBehavior::loop);
}

TEST_F(ScreensApart, ScreenPlaysOnlyItsOwnPicturesAndSendsNothing)
{
    LoopbackReceiver receiver;
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    const MediaAsset sound = addAsset(music, AssetKind::audio);
    setScreens({kScreen1, kScreen2});
    setTimeline(0, {clip(red, 0), clip(blue, 0, Track::side), clip(sound, 0, Track::music),
                    udpMessage(0, receiver.port(), "cue")});
    edit([](Show& show) { show.cues[0].lighting = Lighting{1, 255, 0}; });
    int changes = 0;
    QObject::connect(engine.get(), &Engine::independentScreensChanged, [&] { ++changes; });

    EXPECT_TRUE(engine->play(cue(0), {kScreen2}));
    EXPECT_EQ(engine->message(), QStringLiteral("屏幕 2 · 独立播放"));
    EXPECT_EQ(changes, 1);
    const Engine* screen = engine->independentScreens().engine(kScreen2);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(engine->independentScreens().engine(kScreen1));
    EXPECT_EQ(engine->program(kScreen2)->independentOutput(), screen->program(kScreen2));
    clock->now += 0.5;
    const auto shown = [&] { return screen->program(kScreen2)->foreground(); };
    ASSERT_TRUE(waitUntil([&] { return shown() && shown()->image(); }));
    EXPECT_EQ(shown()->image()->pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_TRUE(receiver.drain().empty());
    EXPECT_EQ(playersHolding(music), 0);
    EXPECT_FALSE(engine->current()) << "the programme itself goes on as it was";
}

TEST_F(ScreensApart, PauseFreezesAFollowingScreenWhereTheProgrammeIs)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset film = addAsset(video, AssetKind::video, 60);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    setTimeline(0, {clip(red, 3), clip(film, 10), clip(blue, 15, Track::main, 2)});
    takeCue(0);
    advanceTo(12);

    engine->pauseScreens({kScreen1});
    const Engine* screen = engine->independentScreens().engine(kScreen1);
    ASSERT_TRUE(screen);
    EXPECT_EQ(engine->message(), QStringLiteral("屏幕 1 · 已暂停"));
    EXPECT_TRUE(screen->paused());
    EXPECT_EQ(screen->current()->timeline->size(), 2);
    EXPECT_NEAR(screen->timelinePosition(), 12, 1e-9);
    FakePlayer* frozen = playerOf(video);
    EXPECT_EQ(frozen->seeks, QList<double>{2});
    EXPECT_FALSE(frozen->isPlaying());
    EXPECT_EQ(engine->screenStatus(kScreen1), QStringLiteral("独立暂停"));

    engine->pauseScreens({kScreen1});
    EXPECT_EQ(engine->independentScreens().engine(kScreen1), screen) << "an independent screen that is paused stays so";
    engine->resumeScreens({kScreen1, kScreen2});
    EXPECT_FALSE(screen->paused());
    EXPECT_TRUE(frozen->isPlaying());
    EXPECT_FALSE(engine->independentScreens().engine(kScreen2));
    EXPECT_TRUE(onAir(0));
}

TEST_F(ScreensApart, PauseOfADirectCueFreezesAtItsVideosTimeAndNothingOnAirIsLeftAlone)
{
    engine->pauseScreens({kScreen1});
    EXPECT_FALSE(engine->independentScreens().engine(kScreen1));

    giveVideoAndMusic();
    engine->take(cue(0));
    playerOf(video)->seconds = 7.5;
    engine->pauseScreens({kScreen1});
    ASSERT_TRUE(engine->independentScreens().engine(kScreen1));
    EXPECT_EQ(playerOf(video)->seeks, QList<double>{7.5});
    EXPECT_TRUE(engine->program(kScreen1)->foreground()->player()->isMuted()) << "the programme's video is silent";
    EXPECT_EQ(playersHolding(music), 1) << "the screen's copy has no sound of its own";
}

TEST_F(ScreensApart, StoppedScreenStaysOutUntilReturnedAndStopReturnsEveryScreen)
{
    engine->stopScreens({kScreen1});
    const Engine* screen = engine->independentScreens().engine(kScreen1);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->current());
    EXPECT_EQ(engine->program(kScreen1)->independentOutput(), screen->program(kScreen1));
    EXPECT_EQ(engine->message(), QStringLiteral("就绪")) << "only a start writes the status line";

    engine->returnScreensToProjection({kScreen1});
    EXPECT_FALSE(engine->independentScreens().engine(kScreen1));
    EXPECT_FALSE(engine->program(kScreen1)->independentOutput());

    engine->stopScreens({kScreen1});
    engine->stop(true);
    EXPECT_FALSE(engine->independentScreens().engine(kScreen1));
}

TEST_F(ScreensApart, EveryScreenKeepsTheShowsDefaultPictureWhetherPlayedPausedOrStopped)
{
    setScreens({kScreen1, kScreen2});
    awaitAnswerAbout(stillFile(Qt::green));
    engine->setDefaultPicture(stillFile(Qt::green));
    const QSet<ScreenRole> both{kScreen1, kScreen2};
    const auto showsDefault = [&](const ScreenRole& role) {
        const Engine* screen = engine->independentScreens().engine(role);
        const std::optional<QImage> fallback = screen ? screen->program(role)->fallback() : std::nullopt;
        return fallback && fallback->pixelColor(0, 0) == QColor(Qt::green);
    };
    engine->stopScreens(both);
    EXPECT_TRUE(showsDefault(kScreen1) && showsDefault(kScreen2)) << "stopped";

    giveVideoAndMusic();
    edit([](Show& show) { show.cues[0].sideMirrorsMain = true; });
    engine->returnScreensToProjection(both);
    ASSERT_TRUE(engine->play(cue(0), both));
    EXPECT_TRUE(showsDefault(kScreen1) && showsDefault(kScreen2)) << "played";

    engine->returnScreensToProjection(both);
    engine->take(cue(0));
    engine->pauseScreens(both);
    EXPECT_TRUE(showsDefault(kScreen1) && showsDefault(kScreen2)) << "paused";
}

TEST_F(ScreensApart, PlayedCueHoldsAtItsEndAndFollowsTheMute)
{
    giveVideoAndMusic(EndBehavior::next);
    engine->setMuted(true);
    ASSERT_TRUE(engine->play(cue(0), {kScreen1}));
    const Engine* screen = engine->independentScreens().engine(kScreen1);
    EXPECT_TRUE(screen->muted());
    playerOf(video)->finish();
    runEvents(50);
    EXPECT_EQ(screen->current()->name, cue(0).name);
    EXPECT_FALSE(engine->current());
    engine->setMuted(false);
    EXPECT_FALSE(screen->muted());
}

TEST_F(ScreensApart, RefusedCueNamesTheScreenAndLeavesItAsItWas)
{
    setScreens({kScreen1, kScreen2});
    engine->stopScreens({kScreen2});
    const Engine* stopped = engine->independentScreens().engine(kScreen2);
    edit([](Show& show) {
        show.cues[1].main = QUrl::fromLocalFile(MediaFixtures::missing() + ".mp4");
        show.cues[1].sideMirrorsMain = true;
    });
    engine->play(cue(1), {kScreen1, kScreen2});
    EXPECT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("屏幕 2 · 素材缺失 · ")); }))
        << engine->message().toStdString();
    EXPECT_FALSE(engine->independentScreens().engine(kScreen1));
    EXPECT_EQ(engine->independentScreens().engine(kScreen2), stopped);
}

TEST_F(ScreensApart, ScreenLeavingTheShowEndsItsScreenEngine)
{
    setScreens({kScreen1, kScreen2, kScreen3});
    ASSERT_TRUE(engine->play(cue(0), {kScreen3}));
    const QPointer<const Engine> screen = engine->independentScreens().engine(kScreen3);
    engine->removeScreen(kScreen3);
    EXPECT_FALSE(engine->independentScreens().engine(kScreen3));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(screen);
}

#include "enginefixture.h"
#include "loopbackreceiver.h"

using CueStart = EngineTest;

TEST_F(CueStart, DirectCueShowsItsVideoAndStartsEveryPlayerAtOneTimeAhead)
{
    giveVideoAndMusic();
    edit([&](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2}; });
    engine->program(kScreen2)->load(stillFile(Qt::red));
    const HostTime before = HostClock::now();
    engine->take(cue(0));

    FakePlayer* picture = playerOf(video);
    FakePlayer* sound = playerOf(music);
    ASSERT_TRUE(picture && sound);
    EXPECT_EQ(shown()->player(), picture);
    EXPECT_FALSE(shown(kScreen2));
    EXPECT_FALSE(engine->program(kScreen2)->image());
    EXPECT_EQ(engine->audioPlayer(Bus::music), sound);
    EXPECT_FALSE(engine->audioPlayer(Bus::effects)->hasItem());
    ASSERT_TRUE(picture->startedAt && sound->startedAt);
    EXPECT_EQ(*picture->startedAt, *sound->startedAt);
    EXPECT_GE(*picture->startedAt - before, std::chrono::milliseconds(100));
    EXPECT_LT(*picture->startedAt - before, std::chrono::milliseconds(200));
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 暖场"));
}

// A player still loading at GO holds the others: all of them begin together a lead after the last has loaded, none
// on a start time it could not make (it would lose the beginning of its sound). A pause meanwhile calls the start off.
TEST_F(CueStart, APlayerStillLoadingAtGoHoldsTheCommonStartUntilItHasLoaded)
{
    giveVideoAndMusic();
    playersReadyOnLoad = false;
    static_cast<FakePlayer*>(engine->audioPlayer(Bus::music))->readyOnLoad = false;
    engine->take(cue(0));
    FakePlayer* picture = playerOf(video);
    FakePlayer* sound = playerOf(music);
    ASSERT_TRUE(picture && sound);
    EXPECT_FALSE(picture->startedAt || sound->startedAt);
    picture->becomeReady();
    EXPECT_FALSE(picture->startedAt) << "the sound is still loading";
    const HostTime loaded = HostClock::now();
    sound->becomeReady();
    ASSERT_TRUE(picture->startedAt && sound->startedAt);
    EXPECT_EQ(*picture->startedAt, *sound->startedAt);
    EXPECT_GE(*sound->startedAt - loaded, std::chrono::milliseconds(100));

    engine->take(cue(0));
    picture = playerOf(video);
    sound = playerOf(music);
    engine->togglePause();
    picture->becomeReady();
    sound->becomeReady();
    EXPECT_FALSE(picture->startedAt || sound->startedAt);
    EXPECT_FALSE(picture->isPlaying() || sound->isPlaying());
}

TEST_F(CueStart, MirrorPlaysMainOnTheSecondScreenWithItsOwnPlayerAndEmptiesOthers)
{
    edit([&](Show& show) {
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2, kScreen3};
        show.cues[0].main = video;
        show.cues[0].sideMirrorsMain = true;
    });
    engine->program(kScreen3)->load(stillFile(Qt::red));
    engine->take(cue(0));
    ASSERT_TRUE(shown(kScreen1) && shown(kScreen2));
    EXPECT_NE(shown(kScreen1)->player(), shown(kScreen2)->player());
    EXPECT_EQ(shown(kScreen2)->player()->url(), video);
    EXPECT_FALSE(engine->program(kScreen3)->image());
}

TEST_F(CueStart, StillOnlyCueWithAutomaticGoWaitsForTheOperator)
{
    edit([&](Show& show) {
        show.cues[0].main = stillFile(Qt::blue);
        show.cues[0].ending = EndBehavior::next;
    });
    engine->take(cue(0));
    EXPECT_EQ(shownColor(), QColor());
    ASSERT_TRUE(waitUntil([&] { return engine->program(kScreen1)->image().has_value(); }));
    EXPECT_EQ(engine->program(kScreen1)->image()->pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 暖场（无时长素材，请手动 GO）"));
    runEvents(50);
    EXPECT_TRUE(onAir(0));
    engine->go();
    EXPECT_TRUE(onAir(1));
}

// A large still taken out of order, so that nothing decoded it ahead, goes up once decoded; until then the screen
// keeps the picture before it, a still of its own or a video in front, and its video does not play on.
TEST_F(CueStart, LargeStillTakenOutOfOrderLeavesThePictureBeforeItUpUntilDecoded)
{
    const struct
    {
        const char* before;
        QUrl file;
        QColor large;
    } rows[] = {{"a still", stillFile(Qt::red), QColor(3, 250, 7)}, {"a video", video, QColor(250, 3, 7)}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.before);
        const QUrl large = QUrl::fromLocalFile(MediaFixtures::png({3000, 2000}, row.large));
        edit([&](Show& show) {
            show.cues[0].main = row.file;
            show.cues[2].main = large;
        });
        Picture* program = engine->program(kScreen1);
        const auto showsSomething = [&] {
            if (const Picture* front = program->foreground())
                return front->image() || front->player()->hasItem();
            return program->image().has_value();
        };
        takeCue(0);
        ASSERT_TRUE(showsSomething());
        engine->take(cue(2));
        int emptySamples = showsSomething() ? 0 : 1;
        EXPECT_TRUE(waitUntil([&] {
            runEvents(2);
            emptySamples += showsSomething() ? 0 : 1;
            return !program->foreground() && program->image() && program->image()->pixelColor(0, 0) == row.large;
        }));
        EXPECT_EQ(emptySamples, 0);
        EXPECT_FALSE(playerOf(video) && playerOf(video)->isPlaying()) << "the video before stays still";
        engine->stop(false);
    }
}

TEST_F(CueStart, AutomaticGoFollowsTheEndOfTheFirstPlayerOnly)
{
    giveVideoAndMusic(EndBehavior::next);
    engine->take(cue(0));
    playerOf(music)->finish();
    runEvents(20);
    EXPECT_TRUE(onAir(0));
    playerOf(video)->finish();
    EXPECT_TRUE(waitUntil([&] { return onAir(1); }));
}

TEST_F(CueStart, LoopRestartsEachPlayerAtItsOwnEnd)
{
    giveVideoAndMusic(EndBehavior::loop);
    engine->take(cue(0));
    FakePlayer* picture = playerOf(video);
    FakePlayer* sound = playerOf(music);
    picture->length = 10;
    picture->finish();
    EXPECT_TRUE(waitUntil([&] { return picture->seeks == QList<double>{0}; })) << picture->seeks.size();
    EXPECT_TRUE(picture->isPlaying());
    EXPECT_TRUE(sound->seeks.isEmpty());
}

TEST_F(CueStart, EndOfAPreviousCuesPlayerDoesNothing)
{
    edit([&](Show& show) {
        show.cues[0].audio = music;
        show.cues[0].audioBus = Bus::effects;
        show.cues[0].ending = EndBehavior::next;
    });
    engine->take(cue(0));
    FakePlayer* old = playerOf(music);
    engine->take(cue(2));
    emit old->ended();
    runEvents(20);
    EXPECT_TRUE(onAir(2));
}

TEST_F(CueStart, FailureShowsTheCueAndHoldsNothingUp)
{
    giveVideoAndMusic(EndBehavior::next);
    engine->take(cue(0));
    playerOf(video)->fail();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("播放失败 · 暖场"); }))
        << engine->message().toStdString();
    EXPECT_TRUE(onAir(0));
}

// A failure stays on the status line whichever player ends last, and a playback that only failed never completes.
TEST_F(CueStart, RemotePlaybackOnceKeepsAFailureVisible)
{
    const struct
    {
        bool videoFails;
        bool musicFails;
    } rows[] = {{false, true}, {true, false}, {true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.videoFails * 2 + row.musicFails);
        engine->stop(true);
        giveVideoAndMusic();
        engine->take(cue(0), false, RemotePlaybackMode::once);
        const auto end = [](FakePlayer* player, bool fails) { fails ? player->fail() : player->finish(); };
        end(playerOf(video), row.videoFails);
        runEvents(20);
        end(playerOf(music), row.musicFails);
        runEvents(20);
        EXPECT_EQ(engine->message(), QStringLiteral("播放失败 · 暖场"));
        EXPECT_TRUE(onAir(0));
    }
}

TEST_F(CueStart, RemotePlaybackOnceCompletesWhenEveryPlayerPlayedToItsEnd)
{
    giveVideoAndMusic();
    engine->take(cue(0), false, RemotePlaybackMode::once);
    playerOf(video)->finish();
    runEvents(20);
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 暖场"));
    playerOf(music)->finish();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("单次播放完成 · 暖场"); }))
        << engine->message().toStdString();
}

TEST_F(CueStart, RemoteLoopStartsTheWholeCueAgainWhenItsLastPlayerEnds)
{
    giveVideoAndMusic(EndBehavior::next);
    engine->take(cue(0), false, RemotePlaybackMode::loop);
    FakePlayer* sound = playerOf(music);
    const quint64 item = sound->generation();
    playerOf(video)->finish();
    runEvents(20);
    EXPECT_EQ(sound->generation(), item);
    clock->now += 1;
    sound->finish();
    EXPECT_TRUE(waitUntil([&] { return sound->generation() > item; }));
    EXPECT_TRUE(sound->startedAt);
    EXPECT_TRUE(onAir(0));
}

TEST_F(CueStart, RemoteLoopOfMediaThatCannotPlayIsNotStartedOverAndOver)
{
    edit([&](Show& show) { show.cues[0].audio = music; });
    engine->take(cue(0), false, RemotePlaybackMode::loop);
    FakePlayer* sound = playerOf(music);
    const quint64 item = sound->generation();
    sound->fail();
    runEvents(20);
    EXPECT_EQ(sound->generation(), item);
    EXPECT_EQ(engine->message(), QStringLiteral("播放失败 · 暖场"));
}

TEST_F(CueStart, CueLightingReachesTheArtNetNodeUnlessTheLightsAreBlack)
{
    LoopbackReceiver node;
    lightOnto(node, Lighting{3, 200, 0});
    engine->configureLights();
    EXPECT_EQ(engine->message(), QStringLiteral("Art-Net 已启用 · UDP 无回执"));
    engine->take(cue(0));
    EXPECT_TRUE(levelSent(node, 3, 200));
    engine->setLightsBlack(true);
    EXPECT_TRUE(engine->lightsBlack());
    EXPECT_TRUE(levelSent(node, 3, 0));
    engine->setLightsBlack(false);
    EXPECT_TRUE(levelSent(node, 3, 200));
}

TEST_F(CueStart, CueLightingWithoutAnAddressIsReportedAndTheCuePlays)
{
    edit([](Show& show) { show.cues[0].lighting = Lighting{3, 200, 0}; });
    engine->take(cue(0));
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 暖场 · Art-Net 地址无效"));
    EXPECT_TRUE(onAir(0));
}

// An edit that takes the side file out of the cue on air leaves the second screen on air while the cue plays: pause
// and resume reach its video as the others', and stop ends it and the screen with it.
TEST_F(CueStart, SideVideoWhoseScreenLeavesTheShowPlaysOnUntilStop)
{
    const QUrl side = videoFile(QStringLiteral("side.mp4"));
    giveVideoAndMusic();
    edit([&](Show& show) { show.cues[0].side = side; });
    engine->take(cue(0));
    FakePlayer* leaving = playerOf(side);
    ASSERT_TRUE(leaving && leaving->isPlaying());
    edit([](Show& show) { show.cues[0].side.reset(); });
    ASSERT_FALSE(engine->show().screens().contains(kScreen2));
    EXPECT_TRUE(engine->program(kScreen2));
    EXPECT_TRUE(leaving->isPlaying());
    engine->togglePause();
    EXPECT_FALSE(leaving->isPlaying());
    engine->togglePause();
    EXPECT_TRUE(leaving->isPlaying());
    EXPECT_TRUE(playerOf(video)->isPlaying());
    engine->stop(true);
    EXPECT_FALSE(engine->program(kScreen2));
    EXPECT_FALSE(leaving->isPlaying());
    engine->togglePause();
    EXPECT_FALSE(leaving->isPlaying());
}

// A still that passes the check but cannot be decoded fails as a video does: decoded at once or on a worker, as a
// direct cue's file or as a timeline clip.
TEST_F(CueStart, StillThatCannotBeDecodedFailsItsCue)
{
    for (const QSize size : {QSize(64, 64), QSize(2000, 2000)}) {
        SCOPED_TRACE(size.width());
        const QUrl corrupt = QUrl::fromLocalFile(MediaFixtures::corruptPng(size));
        edit([&](Show& show) {
            show.cues[0].main = corrupt;
            show.cues[0].name = QStringLiteral("坏图");
        });
        takeCue(0);
        EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("播放失败 · 坏图"); }))
            << engine->message().toStdString();

        const MediaAsset still = addAsset(corrupt, AssetKind::image);
        TimelineEvent event = clip(still, 0);
        event.imageDuration = 10;
        setTimeline(1, {event});
        takeCue(1);
        EXPECT_TRUE(waitUntil([&] {
            advanceTo(0.1);
            return engine->message() == QStringLiteral("素材播放失败 · corrupt.png");
        })) << engine->message().toStdString();
        engine->stop(false);
    }
}

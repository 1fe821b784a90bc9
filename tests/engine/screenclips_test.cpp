#include "displaybindings.h"
#include "enginefixture.h"
#include "stilldecoder.h"

using ScreenClips = EngineTest;

static TimelineEvent still(const MediaAsset& asset, double time, double length, qint64 layer = 1)
{
    TimelineEvent event;
    event.time = time;
    event.assetID = asset.id;
    event.layer = layer;
    event.imageDuration = length;
    return event;
}

TEST_F(ScreenClips, HighestLayerIsShownAndALowerOneReturnsWhenItEnds)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    setTimeline(0, {still(red, 0, 10, 1), still(blue, 1, 2, 3)});
    takeCue(0);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    advanceTo(1.1);
    EXPECT_EQ(shownColor(), QColor(Qt::blue));
    advanceTo(3.1);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    advanceTo(10.1);
    EXPECT_FALSE(shown());
}

TEST_F(ScreenClips, StillWithoutALengthLastsOneSecond)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    setTimeline(0, {clip(red, 0)});
    takeCue(0);
    advanceTo(0.95);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    advanceTo(1.05);
    EXPECT_FALSE(shown());
}

TEST_F(ScreenClips, GapShorterThanAFrameKeepsThePictureAndALongerOneShowsTheEmptyScreen)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    setTimeline(0, {still(red, 0, 1), still(blue, 1.02, 1), still(red, 2.52, 1)});
    takeCue(0);
    advanceTo(1.01);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    advanceTo(1.03);
    EXPECT_EQ(shownColor(), QColor(Qt::blue));
    advanceTo(2.1);
    EXPECT_FALSE(shown());
    advanceTo(2.6);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
}

TEST_F(ScreenClips, VideoOverAStillWaitsForItsFirstFrame)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset video = addAsset(videoFile(QStringLiteral("over.mp4")), AssetKind::video, 5);
    setTimeline(0, {still(red, 0, 10), clip(video, 1, Track::main, 2)});
    takeCue(0);
    advanceTo(1.1);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    QImage frame(8, 8, QImage::Format_RGBA8888);
    frame.fill(Qt::green);
    playerOf(video.url)->show(frame);
    ASSERT_TRUE(waitUntil([&] { return shown() && shown()->player()->url() == video.url; }, 10000));
    EXPECT_TRUE(shown()->transitionFrame());
}

TEST_F(ScreenClips, VideoOverAVideoWaitsUntilItIsReady)
{
    playersReadyOnLoad = false;
    engine = makeEngine(true);
    const MediaAsset first = addAsset(videoFile(QStringLiteral("first.mp4")), AssetKind::video, 10);
    const MediaAsset second = addAsset(videoFile(QStringLiteral("second.mp4")), AssetKind::video, 10);
    setTimeline(0, {clip(first, 0), clip(second, 1, Track::main, 2)});
    takeCue(0);
    playerOf(first.url)->becomeReady();
    ASSERT_TRUE(shown());
    EXPECT_EQ(shown()->player()->url(), first.url);
    advanceTo(1.5);
    EXPECT_EQ(shown()->player()->url(), first.url);
    playerOf(second.url)->becomeReady();
    advanceTo(1.6);
    EXPECT_EQ(shown()->player()->url(), second.url);
    EXPECT_TRUE(playerOf(first.url)->isPlaying()) << "the covered video plays on unseen";
    EXPECT_TRUE(playerOf(first.url)->isMuted());
}

TEST_F(ScreenClips, FailedClipEndsAtTheNextStep)
{
    const MediaAsset video = addAsset(videoFile(QStringLiteral("broken.mp4")), AssetKind::video);
    setTimeline(0, {clip(video, 0)});
    edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
    takeCue(0);
    ASSERT_TRUE(shown());
    playerOf(video.url)->fail();
    advanceTo(0.1);
    EXPECT_TRUE(onAir(1));
}

TEST_F(ScreenClips, VideosComingNextArePreparedOncePerScreenAndTakenOver)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset video = addAsset(videoFile(QStringLiteral("behind.mp4")), AssetKind::video, 2);
    setTimeline(0, {still(red, 0, 1), still(red, 1, 1), clip(video, 2), clip(video, 4)});
    takeCue(0);
    EXPECT_EQ(playersHolding(video.url), 1);
    FakePlayer* prepared = playerOf(video.url);
    EXPECT_TRUE(prepared->isMuted());
    const quint64 item = prepared->generation();
    QImage frame(8, 8, QImage::Format_RGBA8888);
    frame.fill(Qt::green);
    prepared->show(frame);
    advanceTo(2.05);
    ASSERT_TRUE(waitUntil([&] { return shown()->player() == prepared; }, 10000));
    EXPECT_EQ(prepared->generation(), item) << "taken over without a second load";
    EXPECT_EQ(playersHolding(video.url), 2) << "the second clip of the same file is prepared in turn";
}

TEST_F(ScreenClips, NextCuesFirstVideoIsPreparedAndGoesOnAirWithoutALoad)
{
    const QUrl video = videoFile(QStringLiteral("next.mp4"));
    edit([&](Show& show) {
        show.cues[0].main = stillFile(Qt::red);
        show.cues[1].main = video;
    });
    engine->take(cue(0));
    // Prepared once the disk has said the file is there, which it says on another thread.
    ASSERT_TRUE(waitUntil([&] { return playerOf(video) != nullptr; }));
    FakePlayer* prepared = playerOf(video);
    const quint64 item = prepared->generation();
    engine->go();
    EXPECT_EQ(shown()->player(), prepared);
    EXPECT_EQ(prepared->generation(), item);
    EXPECT_TRUE(prepared->startedAt);
}

// A screen added while a cue plays, a direct one or a timeline whose next clip comes after, gets the video the next
// direct cue opens with there prepared ahead, and that cue shows it without a load.
TEST_F(ScreenClips, AScreenAddedWhileACuePlaysGetsTheNextDirectCuesVideoPrepared)
{
    const QUrl side = videoFile(QStringLiteral("side.mp4"));
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    for (const bool timeline : {false, true}) {
        SCOPED_TRACE(timeline ? "a timeline on air" : "a direct cue on air");
        engine->stop(true);
        setScreens({kScreen1});
        edit([&](Show& show) {
            show.cues[0].main = stillFile(Qt::red);
            show.cues[0].timeline.reset();
            if (timeline)
                show.cues[0].timeline = QList<TimelineEvent>{still(red, 0, 1), still(red, 2, 1)};
            show.cues[1].side = side;
        });
        takeCue(0);
        advanceTo(1);
        ASSERT_EQ(playerOf(side), nullptr) << "prepared for a screen not in the show";
        engine->addScreen();
        ASSERT_TRUE(engine->show().screens().contains(kScreen2));
        advanceTo(2.05);
        ASSERT_TRUE(waitUntil([&] { return playerOf(side) != nullptr; })) << "no video prepared for the new screen";
        FakePlayer* prepared = playerOf(side);
        EXPECT_TRUE(prepared->isMuted());
        const quint64 item = prepared->generation();
        engine->go();
        ASSERT_TRUE(onAir(1));
        EXPECT_EQ(shown(kScreen2)->player(), prepared);
        EXPECT_EQ(prepared->generation(), item) << "loaded again at the start";
    }
}

// The last picture is held only for a next cue that starts with video there within a quarter second, and stays
// up across that cue's start until its video can show a frame; a hold or loop ending leaves the empty screen.
TEST_F(ScreenClips, LastFrameIsHeldAcrossTheNextCuesStartUntilItsVideoCanShow)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset video = addAsset(videoFile(QStringLiteral("opening.mp4")), AssetKind::video, 5);
    const struct
    {
        EndBehavior ending;
        double opening;
        bool held;
    } rows[] = {{EndBehavior::next, 0.2, true}, {EndBehavior::next, 0.3, false}, {EndBehavior::loop, 0, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.opening);
        engine->stop(true);
        setTimeline(0, {still(red, 0, 1)});
        setTimeline(1, {clip(video, row.opening)});
        edit([&](Show& show) { show.cues[0].ending = row.ending; });
        takeCue(0);
        advanceTo(1.1);
        EXPECT_EQ(onAir(1), row.ending == EndBehavior::next);
        EXPECT_EQ(shownColor() == QColor(Qt::red), row.held) << "the next cue's first step";
        if (!row.held)
            continue;
        advanceTo(1.35);
        EXPECT_EQ(shownColor(), QColor(Qt::red)) << "its video is due but has no frame yet";
        QImage frame(8, 8, QImage::Format_RGBA8888);
        frame.fill(Qt::green);
        playerOf(video.url)->show(frame);
        EXPECT_TRUE(waitUntil([&] { return shown() && shown()->player()->url() == video.url; }, 10000));
    }
}

TEST_F(ScreenClips, RemotePlaybackOnceKeepsTheLastPictureWhenNothingMoreComesThere)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    setTimeline(0, {still(red, 0, 1)});
    takeCue(0, RemotePlaybackMode::once);
    advanceTo(1.1);
    EXPECT_EQ(shownColor(), QColor(Qt::red));
    EXPECT_EQ(engine->message(), QStringLiteral("单次播放完成 · 暖场"));
}

// Moving the cue's only side clip to the main lane, undoing its addition or deleting the cue on air takes the
// second screen out of the show. It stays on air with its clip and window while the cue plays, the timeline ends
// with that clip and goes on, and the screen leaves, its clip stopped, once nothing plays.
TEST_F(ScreenClips, ScreenLeavingTheShowStaysOnAirUntilNothingPlays)
{
    const QUrl video = videoFile(QStringLiteral("side.mp4"));
    const std::function<void()> removals[] = {
        [&] { edit([](Show& show) { show.cues[0].timeline->first().track = Track::main; }); },
        [&] { engine->editHistory()->undo(); },
        [&] { edit([](Show& show) { show.cues.removeFirst(); }); },
    };
    const DisplayScreen projector{
        2, QStringLiteral("B"), QStringLiteral("HDMI-1"), {1920, 0, 1920, 1080}, {1920, 1080}};
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        engine = makeEngine(true);
        displays->change({projector});
        runEvents(10);
        const MediaAsset side = addAsset(video, AssetKind::video, 60);
        edit([](Show& show) { show.cues[0].ending = EndBehavior::next; });
        // Bound before it is in the show: it goes on its display as it comes.
        engine->bind(kScreen2, projector.number);
        setTimeline(0, {clip(side, 0, Track::side)});
        takeCue(0);
        advanceTo(1.1);
        ASSERT_TRUE(engine->program(kScreen2));
        QPointer<FakePlayer> playing = dynamic_cast<FakePlayer*>(shown(kScreen2)->player());
        removals[row]();
        ASSERT_FALSE(engine->show().screens().contains(kScreen2));
        ASSERT_TRUE(engine->program(kScreen2));
        EXPECT_EQ(shown(kScreen2)->player(), playing.data());
        EXPECT_TRUE(playing->isPlaying());
        EXPECT_TRUE(engine->displayBindings().hasWindow(kScreen2));

        advanceTo(60.1);
        EXPECT_EQ(engine->message(), row < 2 ? QStringLiteral("播出中 · 开场") : QStringLiteral("节目单已结束"))
            << "the timeline ended with the clip and GO followed";
        if (row < 2) {
            EXPECT_FALSE(shown(kScreen2)) << "the next cue shows nothing of the one before there";
        }

        engine->stop(true);
        EXPECT_FALSE(engine->program(kScreen2));
        EXPECT_FALSE(engine->displayBindings().hasWindow(kScreen2));
        EXPECT_FALSE(engine->mappings().contains(kScreen2));
        EXPECT_TRUE(!playing || !playing->isPlaying());
    }
}

// Large stills are decoded ahead, as videos are prepared, and one still decoding when it comes due leaves the
// picture before it up rather than a gap.
TEST_F(ScreenClips, UpcomingStillsAreDecodedAheadAndNeverLeaveAGap)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset yellow = addAsset(stillFile(Qt::yellow), AssetKind::image);
    const QUrl bigBlue = QUrl::fromLocalFile(MediaFixtures::png({1600, 1200}, QColor(0, 0, 254)));
    const QUrl bigGreen = QUrl::fromLocalFile(MediaFixtures::png({2400, 1600}, QColor(0, 254, 0)));
    const MediaAsset blue = addAsset(bigBlue, AssetKind::image);
    const MediaAsset green = addAsset(bigGreen, AssetKind::image);
    // The green still comes due in the same step as the yellow one before it: nothing could decode it ahead.
    setTimeline(0, {still(red, 0, 10), still(blue, 1, 1, 2), still(yellow, 2, 1, 2), still(green, 2, 1, 3)});
    int gaps = 0;
    QObject::connect(engine->program(kScreen1), &Picture::foregroundChanged, [&] {
        if (shown() && !shown()->image())
            ++gaps;
    });
    takeCue(0);
    ASSERT_TRUE(waitUntil([&] { return !StillDecoder::shared().isDecoding(bigBlue.toLocalFile()); }));
    advanceTo(1.05);
    EXPECT_EQ(shownColor(), QColor(0, 0, 254)) << "decoded before it came due";

    advanceTo(2.0);
    EXPECT_TRUE(waitUntil([&] {
        runEvents(20);
        return shownColor() == QColor(0, 254, 0);
    }));
    EXPECT_EQ(gaps, 0);
}

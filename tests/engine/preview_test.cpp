#include "cuepreview.h"
#include "enginefixture.h"
#include "screenpicture.h"

#include <QSignalSpy>

using Preview = EngineTest;

namespace {

MediaAsset made(const QString& name, AssetKind kind, std::optional<double> duration = std::nullopt)
{
    MediaAsset asset;
    asset.url = QUrl::fromLocalFile("/show/" + name);
    asset.kind = kind;
    asset.duration = duration;
    return asset;
}

TimelineEvent onScreen(const MediaAsset& asset, double time, qint64 layer = 1, std::optional<double> length = {},
                       Track track = Track::main)
{
    TimelineEvent event;
    event.track = track;
    event.time = time;
    event.assetID = asset.id;
    event.layer = layer;
    event.imageDuration = length;
    return event;
}

} // namespace

TEST(ScreenPictureAt, ShowsWhatTheSchedulerPutsOnAir)
{
    const MediaAsset a = made("a.png", AssetKind::image);
    const MediaAsset b = made("b.png", AssetKind::image);
    const MediaAsset c = made("c.png", AssetKind::image);
    const MediaAsset film = made("film.mp4", AssetKind::video, 20);
    const MediaAsset endless = made("endless.mp4", AssetKind::video);
    const MediaAsset unlisted = made("unlisted.png", AssetKind::image);
    const QList<MediaAsset> assets{a, b, c, film, endless};
    struct Case
    {
        const char* name;
        QList<TimelineEvent> events;
        double time;
        std::optional<QUrl> url;
        double offset;
    };
    const QList<Case> cases{
        {"the later of two running clips on a layer", {onScreen(film, 2), onScreen(film, 5)}, 6, film.url, 1},
        {"a higher layer over both", {onScreen(film, 2), onScreen(film, 5), onScreen(a, 1, 2, 10)}, 6, a.url, 5},
        {"an image on for its length", {onScreen(a, 10, 1, 3)}, 12.99, a.url, 2.99},
        {"an image gone at its end", {onScreen(a, 10, 1, 3)}, 13, std::nullopt, 13},
        {"an image of no length lasts a hundredth", {onScreen(a, 10, 1, 0)}, 10.009, a.url, 0.009},
        {"a video of unknown length stays on", {onScreen(endless, 1)}, 5000, endless.url, 4999},
        {"on equal times the later in stored order", {onScreen(a, 0), onScreen(b, 0)}, 0.5, b.url, 0.5},
        {"a clip replaced on its layer does not come back",
         {onScreen(a, 0, 1, 10), onScreen(b, 2, 1, 1)},
         5,
         std::nullopt,
         5},
        {"a clip without its asset plays no part", {onScreen(a, 0, 1, 10), onScreen(unlisted, 1)}, 2, a.url, 2},
        {"not yet started", {onScreen(a, 3)}, 2.5, std::nullopt, 2.5},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Cue cue;
        cue.timeline = test.events;
        const ScreenPicture picture = screenPictureAt(cue, assets, kScreen1, test.time);
        EXPECT_EQ(picture.url, test.url);
        EXPECT_NEAR(picture.offset, test.offset, 1e-9);
    }

    Cue direct;
    direct.main = film.url;
    direct.sideMirrorsMain = true;
    EXPECT_EQ(screenPictureAt(direct, assets, kScreen2, 7), (ScreenPicture{film.url, 7}));
    EXPECT_EQ(screenPictureAt(direct, assets, kScreen3, 7), (ScreenPicture{std::nullopt, 7}));
}

TEST(OpeningPicture, CountsOnlyClipsAtZeroAndTheLaterOfEqualOnes)
{
    const MediaAsset a = made("a.png", AssetKind::image);
    const MediaAsset b = made("b.png", AssetKind::image);
    Cue cue;
    cue.timeline = QList<TimelineEvent>{onScreen(a, 0.5)};
    EXPECT_FALSE(openingPicture(cue, {a, b}, kScreen1));
    EXPECT_EQ(screenPictureAt(cue, {a, b}, kScreen1, 0.5).url, a.url);
    cue.timeline = QList<TimelineEvent>{onScreen(b, 0, 2), onScreen(a, 0, 2), onScreen(b, 0, 0)};
    EXPECT_EQ(openingPicture(cue, {a, b}, kScreen1), a.url);
}

TEST_F(Preview, TimelineStillsAgreeWithWhatThePlayingTimelineShows)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset green = addAsset(stillFile(Qt::green), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    const MediaAsset white = addAsset(stillFile(Qt::white), AssetKind::image);
    setScreens({kScreen1, kScreen2});
    setTimeline(0,
                {onScreen(red, 0, 1, 10), onScreen(green, 0, 1, 10), onScreen(blue, 2, 1, 1), onScreen(white, 4, 2, 2),
                 clip(blue, 0, Track::side), clip(red, 3, Track::side), onScreen(green, 5, 1, 4)});
    const auto url = [](const Picture* picture) { return picture ? picture->url() : std::nullopt; };
    takeCue(0);
    for (double time : {0.5, 2.5, 3.5, 4.5, 5.5, 6.5, 9.5}) {
        SCOPED_TRACE(time);
        advanceTo(time);
        QSignalSpy done(engine.get(), &Engine::timelinePreviewed);
        engine->previewTimeline(cue(0), time);
        ASSERT_TRUE(done.wait(10000));
        for (const ScreenRole& role : {kScreen1, kScreen2})
            EXPECT_EQ(url(engine->preview(role)), url(shown(role))) << role.rawValue.toStdString();
    }
    EXPECT_TRUE(onAir(0)) << "preview leaves the programme alone";
}

TEST_F(Preview, ScrubShowsOnlyWhereItComesToRest)
{
    const MediaAsset red = addAsset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset blue = addAsset(stillFile(Qt::blue), AssetKind::image);
    setTimeline(0, {onScreen(red, 0, 1, 5), onScreen(blue, 5, 1, 5)});
    Picture* picture = engine->preview(kScreen1);
    QSignalSpy loads(picture, &Picture::urlChanged);
    QSignalSpy done(engine.get(), &Engine::timelinePreviewed);

    engine->previewTimeline(cue(0), 1);
    engine->cuePreview().cancelTimelinePreview();
    runEvents(100);
    EXPECT_EQ(loads.count(), 0) << "a preview cancelled while it settles does nothing";

    for (double time : {1.0, 2.0, 6.0})
        engine->previewTimeline(cue(0), time);
    ASSERT_TRUE(done.wait(10000));
    runEvents(100);
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(loads.count(), 1);
    EXPECT_EQ(picture->url(), blue.url);
    EXPECT_FALSE(engine->program(kScreen1)->image());

    engine->previewTimeline(cue(0), 7);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_EQ(loads.count(), 1) << "an image stays loaded while the scrub stays on it";
}

TEST_F(Preview, VideoStillIsTheFrameAtTheOffsetAndGivesWayToNothing)
{
    const QUrl indexed = QUrl::fromLocalFile(MediaFixtures::indexedVideo(90));
    const MediaAsset film = addAsset(indexed, AssetKind::video, 3);
    const MediaAsset broken =
        addAsset(QUrl::fromLocalFile(MediaFixtures::file("broken.mp4", "no video")), AssetKind::video);
    setScreens({kScreen1, kScreen2});
    setTimeline(0, {onScreen(film, 1), onScreen(broken, 0, 1, {}, Track::side)});
    QSignalSpy done(engine.get(), &Engine::timelinePreviewed);
    engine->previewTimeline(cue(0), 2.5);
    ASSERT_TRUE(done.wait(10000));
    const std::optional<QImage> still = engine->preview(kScreen1)->image();
    ASSERT_TRUE(still);
    EXPECT_NEAR(MediaFixtures::frameIndexOf(*still), 45, 1);
    EXPECT_FALSE(engine->preview(kScreen1)->url());
    EXPECT_EQ(engine->preview(kScreen1)->stillSource(), indexed) << "the still names the video it came from";
    EXPECT_FALSE(engine->preview(kScreen1)->player()->hasItem()) << "a still, nothing that plays";
    EXPECT_FALSE(engine->preview(kScreen2)->image()) << "a frame that cannot be made leaves the screen empty";

    engine->previewTimeline(cue(0), 0.5);
    ASSERT_TRUE(done.wait(10000));
    EXPECT_FALSE(engine->preview(kScreen1)->image());
    EXPECT_FALSE(engine->preview(kScreen1)->stillSource());
}

TEST_F(Preview, CueAndClipPreviewsPlaySilentlyBesideTheProgramme)
{
    giveVideoAndMusic();
    const MediaAsset still = addAsset(stillFile(Qt::green), AssetKind::image);
    engine->take(cue(1));
    engine->previewCue(cue(0));
    EXPECT_EQ(engine->message(), QStringLiteral("正在预监 · 暖场"));
    Player* player = engine->preview(kScreen1)->player();
    EXPECT_EQ(player->url(), video);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(player->isMuted());
    EXPECT_EQ(playersHolding(music), 0) << "a cue's sound is not previewed";
    EXPECT_TRUE(onAir(1));

    TimelineEvent message = udpMessage(0, 9, "x");
    message.assetID = still.id;
    engine->previewEvent(message);
    EXPECT_EQ(engine->message(), QStringLiteral("正在预监 · 暖场"));
    TimelineEvent elsewhere = onScreen(still, 0);
    elsewhere.outputScreen = kScreen3;
    engine->previewEvent(elsewhere);
    EXPECT_EQ(engine->message(), QStringLiteral("正在预监 · ") + still.url.fileName());
    engine->previewEvent(onScreen(still, 0));
    EXPECT_EQ(engine->preview(kScreen1)->url(), still.url);
}

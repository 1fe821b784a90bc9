#include "audiochannelmixer.h"
#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "meshvideofeed.h"
#include "picture.h"

#include <gtest/gtest.h>

namespace {

QUrl fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

bool near(QColor a, QColor b, int tolerance = 24)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

TEST(Picture, AnImageFileBecomesTheStillImage)
{
    Picture picture(defaultPlayerFactory());
    picture.load(fileUrl(MediaFixtures::png({64, 48}, Qt::green)));
    ASSERT_TRUE(waitUntil([&] { return picture.image().has_value(); }));
    EXPECT_EQ(picture.image()->size(), QSize(64, 48));
    EXPECT_FALSE(picture.player()->hasItem());

    picture.load(fileUrl(MediaFixtures::file("broken.png", "not a picture")));
    EXPECT_FALSE(picture.image());
    EXPECT_TRUE(picture.url());
    ASSERT_TRUE(waitUntil([&] { return picture.stillFailed(); }));
    EXPECT_FALSE(picture.image());
}

TEST(Picture, AStillTaggedInAnotherColourSpaceIsShownInSrgb)
{
    Picture picture(defaultPlayerFactory());
    picture.load(fileUrl(MediaFixtures::png({8, 8}, QColor(200, 100, 50), QColorSpace::DisplayP3)));
    ASSERT_TRUE(waitUntil([&] { return picture.image().has_value(); }));
    const QColor shown = picture.image()->pixelColor(4, 4);
    EXPECT_NEAR(shown.red(), 215, 1);
    EXPECT_NEAR(shown.green(), 93, 1);
    EXPECT_NEAR(shown.blue(), 31, 1);
}

TEST(Picture, AVideosTransitionFrameIsCapturedOnceAndLoadingNoneEmptiesEverything)
{
    Picture picture(defaultPlayerFactory());
    const QUrl video = fileUrl(MediaFixtures::video({.pattern = "red"}));
    picture.load(video);
    EXPECT_EQ(picture.url(), video);
    EXPECT_FALSE(picture.image());
    picture.prepareTransitionFrame();
    picture.prepareTransitionFrame();
    EXPECT_TRUE(picture.isCapturing());
    ASSERT_TRUE(waitUntil([&] { return picture.transitionFrame().has_value(); }));
    EXPECT_EQ(picture.transitionFrame()->size(), QSize(320, 240));
    EXPECT_TRUE(near(picture.transitionFrame()->pixelColor(160, 120), Qt::red));
    EXPECT_FALSE(picture.isCapturing());
    EXPECT_TRUE(waitUntil([&] { return !picture.meshVideoFeed()->isRunning(); }));
    EXPECT_TRUE(picture.player()->isReady());

    picture.load(std::nullopt);
    EXPECT_FALSE(picture.url());
    EXPECT_FALSE(picture.image());
    EXPECT_FALSE(picture.transitionFrame());
    EXPECT_FALSE(picture.player()->hasItem());
}

TEST(Picture, ACaptureWithAFrameAtHandEndsAtOnce)
{
    Picture picture(defaultPlayerFactory());
    picture.load(fileUrl(MediaFixtures::video()));
    ASSERT_TRUE(waitUntil([&] { return picture.player()->isReady(); }));
    bool seen = false;
    const QUuid token = picture.meshVideoFeed()->add([&](const VideoFrame&) { seen = true; });
    ASSERT_TRUE(waitUntil([&] { return seen; }));
    picture.prepareTransitionFrame();
    EXPECT_FALSE(picture.isCapturing());
    picture.prepareTransitionFrame();
    EXPECT_FALSE(picture.isCapturing());
    ASSERT_TRUE(waitUntil([&] { return picture.transitionFrame().has_value(); }));
    picture.meshVideoFeed()->remove(token);
    EXPECT_FALSE(picture.meshVideoFeed()->isRunning());
}

TEST(Picture, AFrameStillBeingConvertedWhenNewMediaLoadsIsDropped)
{
    Picture picture(defaultPlayerFactory());
    picture.load(fileUrl(MediaFixtures::video({.size = {1920, 1080}, .seconds = 0.2})));
    ASSERT_TRUE(waitUntil([&] { return picture.player()->currentFrame().has_value(); }));
    picture.prepareTransitionFrame();
    picture.load(fileUrl(MediaFixtures::png()));
    // On a loaded machine the still's look at the disk may miss its deadline: the new media is in either way.
    ASSERT_TRUE(waitUntil([&] { return picture.image().has_value() || picture.stillFailed(); }));
    runEvents(200);
    EXPECT_FALSE(picture.transitionFrame());
}

TEST(Picture, APreloadEndsWhenTheVideoIsReadyAndAReplacedOneNever)
{
    Picture picture(defaultPlayerFactory());
    picture.preloadVideo(fileUrl(MediaFixtures::video()));
    EXPECT_TRUE(picture.isPreloading());
    EXPECT_TRUE(picture.player()->isMuted());
    ASSERT_TRUE(waitUntil([&] { return !picture.isPreloading(); }));
    EXPECT_TRUE(picture.player()->isReady());
    EXPECT_TRUE(picture.player()->currentFrame());

    picture.preloadVideo(fileUrl(MediaFixtures::video({.seconds = 2})));
    picture.load(fileUrl(MediaFixtures::png()));
    EXPECT_FALSE(picture.isPreloading());
}

TEST(Picture, TheMixerHearsAPicturesVideo)
{
    auto mixer = std::make_shared<AudioChannelMixer>();
    Picture picture(defaultPlayerFactory());
    picture.setAudioMixer(mixer);
    picture.load(fileUrl(MediaFixtures::video({.seconds = 1, .audio = true})));
    picture.player()->play();
    // Under load the sound may start late: what counts is sound that has played, not time that has passed.
    ASSERT_TRUE(waitUntil([&] { return picture.player()->currentTime() > 0.3; }));
    const QList<float> levels = mixer->readLevels();
    ASSERT_EQ(levels.size(), 2);
    // The sound is AAC: its peaks stray a little from the source's 0.5.
    EXPECT_NEAR(levels[0], 0.5, 0.12);
}

#include "eventwait.h"
#include "fakeplayer.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "meshvideofeed.h"

#include <gtest/gtest.h>

namespace {

QImage filled(QColor color)
{
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

// A fake player showing a red frame, and a feed on it with no subscriber yet.
class FeedOnFake : public testing::Test
{
  protected:
    FeedOnFake()
    {
        player.load(QUrl("file:///a.mp4"));
        player.show(filled(Qt::red));
    }

    FakePlayer player;
    MeshVideoFeed feed{&player};
};

} // namespace

// The feed looks at the player when it starts listening and when a frame arrives, at no other time.
TEST_F(FeedOnFake, LooksAtThePlayerOnlyWhenAFrameArrivesWhileSubscribed)
{
    player.show(filled(Qt::yellow));
    runEvents(50);
    EXPECT_EQ(player.frameRequests, 0);
    EXPECT_FALSE(feed.isRunning());

    int frames = 0;
    const QUuid first = feed.add([&](const VideoFrame&) { ++frames; });
    const QUuid second = feed.add([](const VideoFrame&) {});
    EXPECT_TRUE(feed.isRunning());
    EXPECT_EQ(frames, 1);
    runEvents(100);
    EXPECT_EQ(frames, 1);
    EXPECT_EQ(player.frameRequests, 1);
    player.show(filled(Qt::green));
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(player.frameRequests, 2);

    feed.remove(second);
    EXPECT_TRUE(feed.isRunning());
    feed.remove(first);
    EXPECT_FALSE(feed.isRunning());
    player.show(filled(Qt::blue));
    EXPECT_EQ(player.frameRequests, 2);
    EXPECT_EQ(frames, 2);
    feed.remove(QUuid::createUuid());
    EXPECT_FALSE(feed.isRunning());
}

TEST_F(FeedOnFake, ANewSubscriberGetsTheLatestFrameAtOnceAndAloneTheSameFrame)
{
    std::vector<VideoFrame> seen;
    feed.add([&](const VideoFrame& frame) { seen.push_back(frame); });
    ASSERT_TRUE(waitUntil([&] { return !seen.empty(); }));

    std::optional<VideoFrame> late;
    feed.add([&](const VideoFrame& frame) { late = frame; });
    ASSERT_TRUE(late);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(late->plane(0).data, seen.front().plane(0).data);
    EXPECT_EQ(late->toImage().pixelColor(0, 0), QColor(Qt::red));
}

TEST_F(FeedOnFake, ANewItemDropsTheOldFrame)
{
    std::vector<QColor> colors;
    feed.add([&](const VideoFrame& frame) { colors.push_back(frame.toImage().pixelColor(0, 0)); });
    ASSERT_TRUE(waitUntil([&] { return colors.size() == 1; }));
    player.load(QUrl("file:///b.mp4"));
    std::optional<VideoFrame> late;
    feed.add([&](const VideoFrame& frame) { late = frame; });
    EXPECT_FALSE(late);
    EXPECT_FALSE(feed.latest());
    player.show(filled(Qt::blue));
    ASSERT_TRUE(waitUntil([&] { return colors.size() == 2; }));
    EXPECT_EQ(colors.back(), QColor(Qt::blue));
}

TEST(MeshVideoFeed, DeliversAPlayingVideosFramesInOrder)
{
    GstPlayer player;
    player.load(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2})));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    MeshVideoFeed feed(&player);
    std::vector<double> times;
    const QUuid token = feed.add([&](const VideoFrame& frame) {
        EXPECT_EQ(frame.size(), QSize(320, 240));
        times.push_back(frame.time());
    });
    player.play();
    ASSERT_TRUE(waitUntil([&] { return times.size() >= 10; }, 20000)) << times.size() << " frames";
    feed.remove(token);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_NEAR(times.front(), 0.0, 0.001);
}

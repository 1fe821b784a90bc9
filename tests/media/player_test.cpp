#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

QUrl fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

bool loadAndWait(Player& player, const QString& path)
{
    player.load(fileUrl(path));
    return waitUntil([&] { return player.status() != PlayerStatus::loading; }) && player.isReady();
}

// Waits on the main thread without handling events, so that whatever the player posts stays queued.
void blockEvents(int milliseconds)
{
    QThread::msleep(milliseconds);
}

} // namespace

TEST(Player, LoadPrerollsAtTheStartWithAFrameAndADuration)
{
    GstPlayer player;
    int statuses = 0;
    QObject::connect(&player, &Player::statusChanged, [&] { ++statuses; });
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 2})));
    EXPECT_EQ(statuses, 2);
    EXPECT_NEAR(player.duration().value_or(0), 2.0, 0.05);
    EXPECT_NEAR(player.currentTime(), 0.0, 0.01);
    EXPECT_FALSE(player.isPlaying());
    const std::optional<VideoFrame> frame = player.currentFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), QSize(320, 240));

    player.clear();
    EXPECT_EQ(player.status(), PlayerStatus::empty);
    EXPECT_FALSE(player.currentFrame());
    EXPECT_FALSE(player.duration());
}

TEST(Player, PlaysToTheEndAndSaysSoOnceAtTheFilesLength)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 1, .audio = true})));
    int ended = 0;
    QObject::connect(&player, &Player::ended, [&] { ++ended; });
    QElapsedTimer clock;
    clock.start();
    player.play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }));
    EXPECT_NEAR(clock.elapsed() / 1000.0, 1.0, 0.25);
    runEvents(300);
    EXPECT_EQ(ended, 1);
    EXPECT_NEAR(player.currentTime(), 1.0, 0.1);

    // Playing again from the start ends again.
    player.seek(0);
    player.play();
    EXPECT_TRUE(waitUntil([&] { return ended == 2; }));
}

TEST(Player, SeekBeforeTheItemIsReadyIsHonoured)
{
    GstPlayer player;
    player.load(fileUrl(MediaFixtures::video({.seconds = 2})));
    player.seek(1.5);
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    EXPECT_NEAR(player.currentTime(), 1.5, 0.04);
    ASSERT_TRUE(player.currentFrame());
    EXPECT_NEAR(player.currentFrame()->time(), 1.5, 0.04);
}

TEST(Player, ARateOfTwoPlaysTwiceAsFast)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::wav({.seconds = 1})));
    int ended = 0;
    QObject::connect(&player, &Player::ended, [&] { ++ended; });
    player.setRate(2);
    QElapsedTimer clock;
    clock.start();
    player.play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }));
    EXPECT_NEAR(clock.elapsed() / 1000.0, 0.5, 0.2);
}

TEST(Player, PauseHoldsThePosition)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 2})));
    player.play();
    runEvents(400);
    player.pause();
    runEvents(50);
    const double held = player.currentTime();
    EXPECT_GT(held, 0.2);
    runEvents(300);
    EXPECT_NEAR(player.currentTime(), held, 0.01);
}

TEST(Player, AReplacedItemsLateSignalsNeverArrive)
{
    GstPlayer player;
    int ended = 0;
    QObject::connect(&player, &Player::ended, [&] { ++ended; });
    int failed = 0;
    QString reason;
    QObject::connect(&player, &Player::failed, [&](const QString& text) {
        ++failed;
        reason = text;
    });
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::wav({.seconds = 0.2})));
    player.play();
    blockEvents(600);
    player.load(fileUrl(MediaFixtures::video()));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    runEvents(100);
    EXPECT_EQ(ended, 0);

    player.load(fileUrl(MediaFixtures::missing()));
    blockEvents(200);
    player.load(fileUrl(MediaFixtures::video()));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    runEvents(100);
    EXPECT_EQ(failed, 0);
}

TEST(Player, TwoPlayersStartedForOneHostTimeStayTogether)
{
    GstPlayer first;
    GstPlayer second;
    const QString video = MediaFixtures::video({.seconds = 3, .audio = true});
    first.load(fileUrl(video));
    second.load(fileUrl(video));
    const HostTime start = HostClock::now() + std::chrono::milliseconds(100);
    first.playAt(0, start);
    second.playAt(0, start);
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start + std::chrono::seconds(1); }));
    const double a = first.currentTime();
    const double b = second.currentTime();
    EXPECT_LT(std::abs(a - b), 0.02);
    EXPECT_NEAR(a, 1.0, 0.05);
}

TEST(Player, PlayAtStartsFromThePositionAtTheHostTime)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 3})));
    const HostTime start = HostClock::now() + std::chrono::milliseconds(300);
    player.playAt(1.0, start);
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start - std::chrono::milliseconds(50); }));
    EXPECT_NEAR(player.currentTime(), 1.0, 0.02);
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start + std::chrono::milliseconds(500); }));
    EXPECT_NEAR(player.currentTime(), 1.5, 0.05);
}

class PlayerBadInput : public testing::TestWithParam<const char*>
{
};

TEST_P(PlayerBadInput, FailsWithTheReasonAndCanLoadAgain)
{
    const std::string kind = GetParam();
    QString path;
    if (kind == "missing")
        path = MediaFixtures::missing();
    else if (kind == "not media")
        path =
            MediaFixtures::file("notes.mp4", QByteArray("these are not the frames you are looking for\n").repeated(40));
    else if (kind == "truncated")
        path = MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5);
    else
        path = MediaFixtures::unknownCodecVideo();

    GstPlayer player;
    int failed = 0;
    QString reason;
    QObject::connect(&player, &Player::failed, [&](const QString& text) {
        ++failed;
        reason = text;
    });
    player.load(fileUrl(path));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return failed > 0; }, 12000)) << kind;
    EXPECT_EQ(player.status(), PlayerStatus::failed);
    EXPECT_FALSE(player.errorText().isEmpty());
    EXPECT_EQ(reason, player.errorText());
    runEvents(200);
    EXPECT_EQ(failed, 1);

    EXPECT_TRUE(loadAndWait(player, MediaFixtures::video()));
}

INSTANTIATE_TEST_SUITE_P(Inputs, PlayerBadInput, testing::Values("missing", "not media", "truncated", "unknown codec"));

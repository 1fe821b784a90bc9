#include "eventwait.h"
#include "gstinit.h"
#include "gstplayer.h"
#include "mediafixtures.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gst/gst.h>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

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

// A VP9 decoder ranked above every other that posts an error and refuses to start: decodebin tries it first, takes
// it out and goes on with the next decoder.
GstStaticPadTemplate refusingSink =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-vp9"));
GstStaticPadTemplate refusingSource =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("video/x-raw"));

GstStateChangeReturn refuseToStart(GstElement* element, GstStateChange transition)
{
    if (transition == GST_STATE_CHANGE_NULL_TO_READY) {
        GST_ELEMENT_ERROR(element, LIBRARY, INIT, ("refused on purpose"), (nullptr));
        return GST_STATE_CHANGE_FAILURE;
    }
    return GST_STATE_CHANGE_SUCCESS;
}

// Once per process: a type name is registered only once.
void registerRefusingDecoder()
{
    static const bool registered = [] {
        initGstreamer();
        const GType type = g_type_register_static_simple(
            GST_TYPE_ELEMENT, "LumoRefusingVp9Decoder", sizeof(GstElementClass),
            [](gpointer type, gpointer) {
                auto* element = GST_ELEMENT_CLASS(type);
                gst_element_class_add_static_pad_template(element, &refusingSink);
                gst_element_class_add_static_pad_template(element, &refusingSource);
                gst_element_class_set_static_metadata(element, "Refusing VP9 decoder", "Codec/Decoder/Video",
                                                      "Fails to start", "Lumoria tests");
                element->change_state = refuseToStart;
            },
            sizeof(GstElement),
            [](GTypeInstance* instance, gpointer) {
                GstElement* element = GST_ELEMENT(instance);
                gst_element_add_pad(element, gst_pad_new_from_static_template(&refusingSink, "sink"));
                gst_element_add_pad(element, gst_pad_new_from_static_template(&refusingSource, "src"));
            },
            GTypeFlags(0));
        return gst_element_register(nullptr, "lumorefusingvp9dec", GST_RANK_PRIMARY + 100, type) != FALSE;
    }();
    ASSERT_TRUE(registered);
}

} // namespace

TEST(Player, ADecoderTriedAndTakenOutDoesNotFailAFileTheNextOnePlays)
{
    registerRefusingDecoder();
    GstPlayer player;
    QString reason;
    QObject::connect(&player, &Player::failed, [&](const QString& text) { reason = text; });
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.codec = VideoCodec::vp9}))) << reason.toStdString();
    EXPECT_TRUE(player.currentFrame());
    runEvents(300);
    EXPECT_TRUE(reason.isEmpty()) << reason.toStdString();
}

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

TEST(Player, PlaysToTheEndAndSaysSoOnceAtTheFilesLengthAndARateOfTwoHalvesIt)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 1, .audio = true})));
    int ended = 0;
    QObject::connect(&player, &Player::ended, [&] { ++ended; });
    QElapsedTimer clock;
    clock.start();
    player.play();
    ASSERT_TRUE(waitUntil([&] { return ended > 0; }));
    EXPECT_GE(clock.elapsed(), 750) << "played in real time";
    runEvents(300);
    EXPECT_EQ(ended, 1);
    EXPECT_NEAR(player.currentTime(), 1.0, 0.1);

    // The position against the wall clock while it plays: a busy machine may be late to look, never to the time.
    player.seek(0);
    player.setRate(2);
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.1; }));
    clock.restart();
    const double from = player.currentTime();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.6 || ended == 2; }));
    const double played = player.currentTime() - from;
    EXPECT_NEAR(played / (double(clock.nsecsElapsed()) / 1e9), 2.0, 0.5);
    ASSERT_TRUE(waitUntil([&] { return ended == 2; }));
}

TEST(Player, PauseHoldsThePosition)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 2})));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.3; }));
    player.pause();
    // Pausing takes the pipeline a moment: the position holds once it has.
    double held = player.currentTime();
    ASSERT_TRUE(waitUntil([&] {
        runEvents(100);
        const double now = player.currentTime();
        return std::exchange(held, now) == now;
    }));
    EXPECT_GT(held, 0.3);
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

TEST(Player, PlayersStartedForOneHostTimeStartThereFromTheirPositionAndStayTogether)
{
    GstPlayer first;
    GstPlayer second;
    const QString video = MediaFixtures::video({.seconds = 3, .audio = true});
    first.load(fileUrl(video));
    ASSERT_TRUE(loadAndWait(second, video));
    const HostTime start = HostClock::now() + std::chrono::milliseconds(300);
    first.playAt(1.0, start);
    second.playAt(1.0, start);
    // Where a player should be at a host time; a busy machine may look later than it meant to.
    const auto due = [&](HostTime at) {
        return 1.0 + std::max(std::chrono::duration<double>(at - start).count(), 0.0);
    };
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start - std::chrono::milliseconds(50); }));
    const HostTime before = HostClock::now();
    EXPECT_NEAR(second.currentTime(), due(before), 0.02);
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start + std::chrono::milliseconds(500); }));
    const HostTime looked = HostClock::now();
    const double a = first.currentTime();
    const double b = second.currentTime();
    EXPECT_LT(std::abs(a - b), 0.02);
    EXPECT_NEAR(b, due(looked), 0.05);
}

// A GO starts prepared videos where their load prerolled them: they start at the host time from their first frame
// without a seek, and hold that frame until then.
TEST(Player, PlayersStartedForOneHostTimeAtTheStartOfTheirItemsStartThereTogether)
{
    GstPlayer first;
    GstPlayer second;
    const QString video = MediaFixtures::video({.seconds = 3, .audio = true});
    ASSERT_TRUE(loadAndWait(first, video));
    ASSERT_TRUE(loadAndWait(second, video));
    ASSERT_TRUE(waitUntil([&] { return first.currentFrame() && second.currentFrame(); }));
    const std::uint64_t prerolled = second.currentFrame().value().serial();
    const HostTime start = HostClock::now() + std::chrono::milliseconds(400);
    first.playAt(0, start);
    second.playAt(0, start);
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start - std::chrono::milliseconds(100); }));
    if (HostClock::now() < start - std::chrono::milliseconds(20)) {
        EXPECT_EQ(second.currentFrame().value().serial(), prerolled) << "the first frame holds until the start";
        EXPECT_NEAR(second.currentTime(), 0.0, 0.02);
    }
    ASSERT_TRUE(waitUntil([&] { return HostClock::now() >= start + std::chrono::milliseconds(500); }));
    const HostTime looked = HostClock::now();
    const double a = first.currentTime();
    const double b = second.currentTime();
    EXPECT_LT(std::abs(a - b), 0.02);
    EXPECT_NEAR(b, std::chrono::duration<double>(looked - start).count(), 0.05);
}

// Every frame of a player started for a host time is due at that time plus its distance from the start position,
// so that outputs put the frames of players started together up together.
TEST(Player, FramesOfAPlayerStartedForAHostTimeAreDueFromThere)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::video({.seconds = 3})));
    std::mutex lock;
    std::vector<VideoFrame> frames;
    player.setDecodedFrameListener([&](const VideoFrame& frame, quint64) {
        std::scoped_lock hold(lock);
        frames.push_back(frame);
    });
    const HostTime start = HostClock::now() + std::chrono::milliseconds(200);
    player.playAt(1.0, start);
    ASSERT_TRUE(waitUntil([&] {
        std::scoped_lock hold(lock);
        return frames.size() >= 8;
    }));
    player.setDecodedFrameListener({});
    int played = 0;
    for (const VideoFrame& frame : frames) {
        if (!frame.dueAt()) {
            EXPECT_NEAR(frame.time(), 1.0, 0.04) << "only the frame prerolled at the start position shows at once";
            continue;
        }
        ++played;
        const double after = std::chrono::duration<double>(*frame.dueAt() - start).count();
        EXPECT_NEAR(after, frame.time() - 1.0, 0.001) << frame.time();
    }
    EXPECT_GE(played, 6);
}

// A player still loading when its cue starts holds its first frame back until it plays, so that the frame goes up
// with its sound instead of a start lead before it: then the frame comes due at the start time.
TEST(Player, APlayerAwaitingItsStartHoldsItsFirstFrameUntilItPlays)
{
    GstPlayer player;
    std::mutex lock;
    std::vector<VideoFrame> frames;
    player.setDecodedFrameListener([&](const VideoFrame& frame, quint64) {
        std::scoped_lock hold(lock);
        frames.push_back(frame);
    });
    player.load(fileUrl(MediaFixtures::video({.seconds = 3})));
    player.awaitStart();
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    runEvents(200);
    EXPECT_FALSE(player.currentFrame());
    {
        std::scoped_lock hold(lock);
        EXPECT_TRUE(frames.empty());
    }
    const HostTime start = HostClock::now() + std::chrono::milliseconds(300);
    player.playAt(0, start);
    ASSERT_TRUE(waitUntil([&] {
        std::scoped_lock hold(lock);
        return !frames.empty();
    }));
    player.setDecodedFrameListener({});
    EXPECT_NEAR(frames.front().time(), 0.0, 0.001);
    ASSERT_TRUE(frames.front().dueAt());
    EXPECT_NEAR(std::chrono::duration<double>(*frames.front().dueAt() - start).count(), 0.0, 0.005);

    // A seek while paused shows its frame at once again.
    player.pause();
    player.seek(1.0);
    ASSERT_TRUE(waitUntil([&] {
        const std::optional<VideoFrame> frame = player.currentFrame();
        return frame && std::abs(frame->time() - 1.0) < 0.04;
    }));
}

// The demuxer's error on a truncated file can race decodebin's trial of that demuxer; it must never be lost.
TEST(Player, TruncatedFileFailsPromptlyWithItsReasonEveryTime)
{
    const QString path = MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5);
    for (int attempt = 0; attempt < 10; ++attempt) {
        SCOPED_TRACE(attempt);
        GstPlayer player;
        QString reason;
        QObject::connect(&player, &Player::failed, [&](const QString& text) { reason = text; });
        player.load(fileUrl(path));
        ASSERT_TRUE(waitUntil([&] { return !reason.isEmpty(); })) << "no failure after 10 s";
        EXPECT_EQ(reason, player.errorText());
        EXPECT_TRUE(reason.startsWith(QStringLiteral("文件不完整"))) << reason.toStdString();
    }
}

TEST(Player, ExactSeekToAFramesStartShowsThatFrame)
{
    GstPlayer player;
    ASSERT_TRUE(loadAndWait(player, MediaFixtures::indexedVideo(60)));
    for (int index : {30, 15, 45, 1}) {
        SCOPED_TRACE(index);
        const std::uint64_t before = player.currentFrame()->serial();
        player.seek(index / 30.0);
        ASSERT_TRUE(waitUntil([&] { return player.currentFrame()->serial() != before; }));
        EXPECT_EQ(MediaFixtures::frameIndexOf(player.currentFrame()->toImage()), index);
    }
}

TEST(Player, BadInputFailsOnceWithTheReasonAndTheNextLoadWorks)
{
    const std::pair<const char*, QString> inputs[] = {
        {"missing", MediaFixtures::missing()},
        {"not media",
         MediaFixtures::file("notes.mp4", QByteArray("these are not the frames you are looking for\n").repeated(40))},
        {"truncated", MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5)},
        {"unknown codec", MediaFixtures::unknownCodecVideo()},
    };
    for (const auto& [kind, path] : inputs) {
        SCOPED_TRACE(kind);
        GstPlayer player;
        int failed = 0;
        QString reason;
        QObject::connect(&player, &Player::failed, [&](const QString& text) {
            ++failed;
            reason = text;
        });
        player.load(fileUrl(path));
        player.play();
        ASSERT_TRUE(waitUntil([&] { return failed > 0; }, 12000));
        EXPECT_EQ(player.status(), PlayerStatus::failed);
        EXPECT_FALSE(player.errorText().isEmpty());
        EXPECT_EQ(reason, player.errorText());
        runEvents(200);
        EXPECT_EQ(failed, 1);
        EXPECT_TRUE(loadAndWait(player, MediaFixtures::video()));
    }
}

#include "framepacing.h"
#include "meshframes.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using Time = FramePacing::Time;
constexpr std::chrono::nanoseconds kSixtyHertz = 16'666'667ns;
const Time kStart = Time(1000s);

// Frames of a 30 fps video started at kStart, the first due then.
std::vector<FramePacing::Due> thirtyPerSecond(int count)
{
    std::vector<FramePacing::Due> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(kStart + i * 33'333'333ns);
    return frames;
}

VideoFrame frameDue(std::uint64_t serial, std::optional<Time> due)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    VideoFrame frame = VideoFrame::fromImage(image, 0, serial);
    frame.setDueAt(due);
    return frame;
}

} // namespace

// A 30 fps frame goes up at the first draw that reaches the screen once it is due, never before.
TEST(FramePacing, EachFrameGoesUpOnceItIsDueNeverBefore)
{
    const std::vector<FramePacing::Due> frames = thirtyPerSecond(4);
    std::vector<std::optional<std::size_t>> shown;
    // Refreshes of a 60 Hz display.
    for (int refresh = -1; refresh < 7; ++refresh)
        shown.push_back(FramePacing::frameAt(frames, kStart + refresh * kSixtyHertz));
    const std::vector<std::optional<std::size_t>> expected{std::nullopt, 0, 0, 1, 1, 2, 2, 3};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(FramePacing::frameAt(frames, *frames[1] - 1ns), 0u);
    EXPECT_EQ(FramePacing::frameAt(frames, *frames[1]), 1u);
}

// An output that fell behind shows the newest frame due, never an older one.
TEST(FramePacing, AnOutputBehindSkipsToTheNewestFrameDue)
{
    EXPECT_EQ(FramePacing::frameAt(thirtyPerSecond(6), kStart + 140ms), 4u);
    EXPECT_EQ(FramePacing::frameAt(thirtyPerSecond(6), kStart + 10s), 5u);
}

// A paused player's frame (its first after a seek, a prepared video's first) has no due time: it shows at once.
TEST(FramePacing, AFrameWithoutDueTimeShowsAtOnce)
{
    std::vector<FramePacing::Due> frames = thirtyPerSecond(2);
    frames.push_back(std::nullopt);
    EXPECT_EQ(FramePacing::frameAt(frames, kStart - 1s), 2u);
    EXPECT_EQ(FramePacing::nextDrawAt(frames, 1, 5ms), Time{});
    frames = {std::nullopt, kStart};
    EXPECT_EQ(FramePacing::frameAt(frames, kStart - 100ms), 0u);
}

// The next draw starts its draw time before the next frame falls due, so that it reaches the screen then.
TEST(FramePacing, NextDrawStartsItsDrawTimeBeforeTheNextFrameIsDue)
{
    const std::vector<FramePacing::Due> frames = thirtyPerSecond(3);
    const std::optional<Time> at = FramePacing::nextDrawAt(frames, 0, 5ms);
    ASSERT_TRUE(at);
    EXPECT_EQ(*at, *frames[1] - 5ms);
    // Drawn then, the frame is the one that reaches the screen.
    EXPECT_EQ(FramePacing::frameAt(frames, *at + 5ms), 1u);
    EXPECT_EQ(FramePacing::frameAt(frames, *at + 5ms - 1ns), 0u);
    EXPECT_EQ(FramePacing::nextDrawAt(frames, std::nullopt, 5ms), *frames[0] - 5ms);
    EXPECT_FALSE(FramePacing::nextDrawAt(frames, 2, 5ms));
}

// Frames handed over ahead of time wait in the output's frames until their refresh; without pacing (a console
// monitor) the newest shows as before.
TEST(MeshFrames, FramesAheadOfTimeWaitForTheirRefresh)
{
    const Time now = std::chrono::steady_clock::now();
    MeshFrames frames;
    int invalidated = 0;
    frames.setInvalidate([&] { ++invalidated; });
    frames.receive(frameDue(1, std::nullopt), 7);
    frames.receive(frameDue(2, now + 10s), 7);
    frames.receive(frameDue(3, now + 20s), 7);
    EXPECT_EQ(invalidated, 3);
    EXPECT_EQ(frames.frameOf(7).serial(), 3u);

    frames.presentAt(now);
    EXPECT_EQ(frames.frameOf(7).serial(), 1u);
    EXPECT_EQ(frames.nextDrawAt(7, 2ms), now + 10s - 2ms);
    frames.presentAt(now + 10s);
    EXPECT_EQ(frames.frameOf(7).serial(), 2u);
    EXPECT_TRUE(frames.frameOf(8).isNull()) << "another item's frames are never shown";

    // A frame of the next item replaces those of the one before, waiting or not.
    frames.receive(frameDue(1, now + 30s), 8);
    EXPECT_TRUE(frames.frameOf(7).isNull());
    EXPECT_TRUE(frames.frameOf(8).isNull()) << "its only frame is not due yet";
    EXPECT_EQ(frames.nextDrawAt(8, 0ns), now + 30s);
}

// Frames already due push out the ones before them, and an older frame arriving late is dropped.
TEST(MeshFrames, KeepsNoFrameThatCanNoLongerShow)
{
    const Time now = std::chrono::steady_clock::now();
    MeshFrames frames;
    frames.presentAt(now);
    for (std::uint64_t serial = 1; serial <= 20; ++serial)
        frames.receive(frameDue(serial, now - 1s + serial * 1ms), 3);
    frames.receive(frameDue(5, std::nullopt), 3);
    EXPECT_EQ(frames.frameOf(3).serial(), 20u);
    EXPECT_FALSE(frames.nextDrawAt(3, 0ns)) << "nothing waits";
}

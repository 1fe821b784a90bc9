#include "driftfollower.h"
#include "playbackonset.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr std::int64_t kMs = 1'000'000;

// A sink's readings every `step` ms of host time from 0: the device's clock stands at `stuckAt` until the host
// reaches `playsFrom`, then goes at the host's pace `lagging` behind it (plus `drift` per second of playing). A sound
// server's clock may run by itself from 0 to `runsAloneUntil` first, whether the device plays or not, and then stand
// still until the device's sound catches up with it.
struct Device
{
    std::int64_t stuckAt = 0;
    std::int64_t playsFrom = 0;
    std::int64_t lagging = 0;
    double drift = 0;
    std::int64_t runsAloneUntil = 0;

    std::int64_t soundAt(std::int64_t host) const
    {
        const std::int64_t alone = stuckAt + std::min(host, runsAloneUntil);
        if (host < playsFrom)
            return alone;
        const std::int64_t played = host - playsFrom;
        return std::max(alone, host - lagging + std::int64_t(drift * double(played) / 1e9 * double(kMs)));
    }
};

// The lead pictures keep until the sound's own is known: the first sound is placed 20 ms ahead of the device.
constexpr std::int64_t kStartLead = -20 * kMs;

// The corrections asked for at each reading from `from` to `to` ms, with the sound's time moved by each.
std::vector<std::int64_t> follow(DriftFollower& follower, const Device& device, std::int64_t from, std::int64_t to,
                                 std::int64_t step, std::int64_t& moved)
{
    std::vector<std::int64_t> corrections;
    for (std::int64_t host = from * kMs; host <= to * kMs; host += step * kMs) {
        const std::int64_t sound = device.soundAt(host) - moved;
        const std::int64_t correction = follower.correctionAt(sound, sound - host, kStartLead);
        if (correction != 0) {
            corrections.push_back(correction);
            moved += correction;
        }
    }
    return corrections;
}

} // namespace

TEST(PlaybackOnset, FindsWhenTheDeviceBeganToPlayAndNotAJumpOfItsClock)
{
    PlaybackOnset starting;
    const Device device{.stuckAt = 400 * kMs, .playsFrom = 100 * kMs, .lagging = -300 * kMs};
    std::optional<std::int64_t> onset;
    for (std::int64_t host = 0; host <= 200 * kMs && !onset; host += 2 * kMs)
        onset = starting.take(host, device.soundAt(host));
    ASSERT_TRUE(onset) << "a device that plays is found";
    // It stood at 400 until its own time passed that, at 100 ms on the host: it has been playing since then.
    EXPECT_NEAR(double(*onset), 100.0 * kMs, 2.0 * kMs);

    PlaybackOnset jumping;
    EXPECT_FALSE(jumping.take(0, 5 * kMs));
    EXPECT_FALSE(jumping.take(2 * kMs, 90 * kMs)) << "the clock set ahead as the sink starts";
    for (std::int64_t host = 4 * kMs; host <= 100 * kMs; host += 2 * kMs)
        EXPECT_FALSE(jumping.take(host, 90 * kMs)) << "then standing still";
}

// The time a device stands still as it starts is no drift: nothing of the sound is cut to catch up on it.
TEST(DriftFollower, KeepsTheLagTheSoundStartedWithAndCorrectsOnlyDriftFromIt)
{
    DriftFollower follower;
    std::int64_t moved = 0;
    const Device steady{.stuckAt = 0, .playsFrom = 120 * kMs, .lagging = 120 * kMs};
    EXPECT_TRUE(follow(follower, steady, 0, 20'000, 10, moved).empty());

    // The device's clock then runs 0.5 ms a second fast: corrections, each about the tolerance, bring it back.
    DriftFollower drifting;
    moved = 0;
    const Device fast{.stuckAt = 0, .playsFrom = 120 * kMs, .lagging = 120 * kMs, .drift = 0.5};
    const std::vector<std::int64_t> corrections = follow(drifting, fast, 0, 60'000, 10, moved);
    ASSERT_FALSE(corrections.empty());
    for (const std::int64_t correction : corrections) {
        EXPECT_GT(correction, 0) << "the sound's time ran ahead: it is moved back";
        EXPECT_LT(correction, 3 * DriftFollower::kToleranceNs);
    }
    // What is left after the last correction is within the tolerance.
    const std::int64_t host = 60'000 * kMs;
    EXPECT_LE(std::abs((fast.soundAt(host) - moved - host) + 120 * kMs), 2 * DriftFollower::kToleranceNs);
}

TEST(DriftFollower, ALaterStartThatFindsTheSoundElsewhereBringsItBackAtOnce)
{
    DriftFollower follower;
    std::int64_t moved = 0;
    follow(follower, Device{.stuckAt = 0, .playsFrom = 20 * kMs, .lagging = 20 * kMs}, 0, 2'000, 10, moved);
    ASSERT_EQ(moved, 0);

    // After a pause the sink starts again, and its sound comes 300 ms later than before.
    follower.restart();
    const Device resumed{.stuckAt = 2'000 * kMs, .playsFrom = 2'600 * kMs, .lagging = 320 * kMs};
    const std::vector<std::int64_t> corrections = follow(follower, resumed, 2'010, 4'000, 10, moved);
    ASSERT_EQ(corrections.size(), 1u);
    EXPECT_NEAR(double(corrections.front()), -300.0 * kMs, 1.0 * kMs) << "moved forward by what it lost";
}

// A device that began to play long after the sink started it (a sound server still playing out what it had already
// mixed, one waking from standby) is not followed by pictures: its sound goes back to where they are, in one step,
// with the clock read every buffer of a third of a second or every 10 ms, and whether or not the server's clock ran by
// itself before it stood still.
TEST(DriftFollower, AFirstStartFarBehindThePicturesIsBroughtBackToThemAtOnce)
{
    const Device late{.stuckAt = 0, .playsFrom = 1'200 * kMs, .lagging = 1'200 * kMs};
    const Device runningAlone{
        .stuckAt = 0, .playsFrom = 1'100 * kMs, .lagging = 1'100 * kMs, .runsAloneUntil = 900 * kMs};
    for (const Device& device : {late, runningAlone}) {
        for (const std::int64_t step : {341, 10}) {
            DriftFollower follower;
            std::int64_t moved = 0;
            const std::vector<std::int64_t> corrections = follow(follower, device, 0, 8'000, step, moved);
            ASSERT_EQ(corrections.size(), 1u) << "buffers " << step << " ms apart";
            const std::int64_t host = 8'000 * kMs;
            EXPECT_NEAR(double(device.soundAt(host) - moved - host), double(kStartLead), 1.0 * kMs)
                << "the lead pictures kept, buffers " << step << " ms apart";
        }
    }

    // A device's own latency within what pictures wait for is kept, as before.
    DriftFollower follower;
    std::int64_t moved = 0;
    EXPECT_TRUE(
        follow(follower, Device{.stuckAt = 0, .playsFrom = 200 * kMs, .lagging = 200 * kMs}, 0, 4'000, 10, moved)
            .empty());
}

#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "playerpipeline.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

struct Heard
{
    double volume = -1;
    bool muted = false;
};

// What the real pipeline was last told, read from its playbin.
Heard heardBy(GstPlayer& player)
{
    GstElement* element = player.pipelineElement();
    if (!element)
        return {};
    double volume = 0;
    gboolean muted = FALSE;
    g_object_get(element, "volume", &volume, "mute", &muted, nullptr);
    return {volume, muted != FALSE};
}

// Waits until the pipeline holds the values, and says what it holds when it never does.
::testing::AssertionResult comesToHold(GstPlayer& player, double volume, bool muted)
{
    const auto holds = [&] {
        const Heard heard = heardBy(player);
        return std::abs(heard.volume - volume) < 1e-6 && heard.muted == muted;
    };
    if (waitUntil(holds, 10000))
        return ::testing::AssertionSuccess();
    const Heard heard = heardBy(player);
    return ::testing::AssertionFailure() << "the pipeline holds volume " << heard.volume
                                         << (heard.muted ? ", muted" : "") << "; the last pressed were " << volume
                                         << (muted ? ", muted" : "");
}

} // namespace

// Mute and volume pressed fast reach the real pipeline, and the last value pressed is the one it holds: pressed while
// the item's pipeline is being made (the player hands it what was pressed meanwhile when it arrives), and pressed
// while it plays (each press a command on the pipeline's queue, run in the order given).
TEST(PlayerVolume, TheLastPressedVolumeAndMuteHoldInTheRealPipeline)
{
    const QString sound = MediaFixtures::wav({.seconds = 20});
    GstPlayer player;
    int press = 0;
    bool muted = false;
    const auto pressOnce = [&] {
        ++press;
        muted = !muted;
        player.setMuted(muted);
        player.setVolume(float((press % 97) / 100.0));
    };

    // While it is made: presses go on until its build is seen under way on a worker, and then come in a burst that
    // no event separates from that moment, so the build cannot have arrived before them. Rounds whose build arrived
    // first are tried again.
    int caught = 0;
    for (int round = 0; round < 20 && caught < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        player.clear();
        ASSERT_TRUE(waitUntil([] { return PlayerPipeline::alive() == 0; }));
        player.load(QUrl::fromLocalFile(sound));
        ASSERT_TRUE(waitUntil([&] {
            pressOnce();
            return PlayerPipeline::alive() > 0;
        }));
        if (player.pipelineElement())
            continue;
        ++caught;
        for (int burst = 0; burst < 51; ++burst)
            pressOnce();
        const float last = 0.98f - 0.01f * round;
        player.setVolume(last);
        ASSERT_TRUE(waitUntil([&] { return player.status() != PlayerStatus::loading; }));
        ASSERT_TRUE(player.isReady());
        EXPECT_TRUE(comesToHold(player, last, muted));
    }
    ASSERT_GT(caught, 0) << "no press fell while a pipeline was being made";

    // While it plays: a hundred presses of each at once, ending muted and then unmuted.
    player.play();
    ASSERT_TRUE(waitUntil([&] {
        GstState state = GST_STATE_NULL;
        return gst_element_get_state(player.pipelineElement(), &state, nullptr, 0) == GST_STATE_CHANGE_SUCCESS &&
               state == GST_STATE_PLAYING;
    }));
    for (const bool endMuted : {true, false}) {
        SCOPED_TRACE(endMuted ? "ending muted" : "ending unmuted");
        for (int burst = 0; burst < 100; ++burst)
            pressOnce();
        player.setMuted(endMuted);
        const float last = endMuted ? 0.33f : 0.66f;
        player.setVolume(last);
        EXPECT_TRUE(comesToHold(player, last, endMuted));
        EXPECT_TRUE(player.isPlaying());
    }
}

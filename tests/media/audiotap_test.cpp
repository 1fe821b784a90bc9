#include "audiochannelmixer.h"
#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"

#include <gtest/gtest.h>

TEST(AudioTap, PeaksFollowTheFileGainAndMute)
{
    auto mixer = std::make_shared<AudioChannelMixer>();
    GstPlayer player;
    player.load(QUrl::fromLocalFile(MediaFixtures::wav({.seconds = 2, .amplitude = 0.5})));
    player.setAudioMixer(mixer);
    player.play();
    // Waits for sound that has played rather than for time: under load the start may be late.
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.2; }));
    QList<float> levels = mixer->readLevels();
    ASSERT_EQ(levels.size(), 2);
    EXPECT_NEAR(levels[0], 0.5, 0.01);
    EXPECT_NEAR(levels[1], 0.5, 0.01);

    mixer->setGain(0, 0.5f);
    mixer->setMuted(1, true);
    const double changed = player.currentTime();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > changed + 0.15; }));
    mixer->readLevels();
    const double from = player.currentTime();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > from + 0.2; }));
    levels = mixer->readLevels();
    EXPECT_NEAR(levels[0], 0.25, 0.01);
    EXPECT_EQ(levels[1], 0.0f);

    player.pause();
    mixer->readLevels();
    EXPECT_TRUE(waitUntil([&] {
        runEvents(100);
        return mixer->readLevels() == QList<float>{0.0f, 0.0f};
    })) << "silent once paused";
}

TEST(AudioTap, ANewItemRunsWithoutTheMixerUntilAttached)
{
    auto mixer = std::make_shared<AudioChannelMixer>();
    GstPlayer player;
    const QUrl wav = QUrl::fromLocalFile(MediaFixtures::wav({.seconds = 2, .amplitude = 0.5}));
    player.load(wav);
    player.setAudioMixer(mixer);
    player.load(wav);
    player.play();
    runEvents(300);
    EXPECT_EQ(mixer->readLevels(), (QList<float>{0.0f, 0.0f}));
}

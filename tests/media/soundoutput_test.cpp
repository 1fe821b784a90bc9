#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "soundoutput.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

class SoundOutputChoice : public ::testing::Test
{
  protected:
    void TearDown() override { output.choose(SoundSink::silent); }
    SoundOutput& output = SoundOutput::shared();
};

TEST_F(SoundOutputChoice, WithoutADeviceTheSilentSinkStandsInSaysSoAndKeepsRealTime)
{
    output.assumeDeviceOpens(false);
    int fellBack = 0;
    const QMetaObject::Connection counting = QObject::connect(&output, &SoundOutput::fellBack, [&] { ++fellBack; });
    output.check();
    EXPECT_TRUE(waitUntil([&] { return fellBack == 1; }, 5000));
    QObject::disconnect(counting);
    EXPECT_EQ(output.sink(), SoundSink::silent);
    EXPECT_TRUE(output.fellBackToSilence());

    GstPlayer player;
    int ended = 0;
    QObject::connect(&player, &Player::ended, [&] { ++ended; });
    player.load(QUrl::fromLocalFile(MediaFixtures::wav({.seconds = 1.5})));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    QElapsedTimer played;
    played.start();
    player.play();
    ASSERT_TRUE(waitUntil([&] { return ended == 1; }));
    EXPECT_GE(played.elapsed(), 1400);
}

TEST_F(SoundOutputChoice, AChosenSinkIsNoFallback)
{
    output.assumeDeviceOpens(false);
    output.choose(SoundSink::silent);
    EXPECT_EQ(output.sink(), SoundSink::silent);
    EXPECT_FALSE(output.fellBackToSilence());
    output.choose(SoundSink::device);
    EXPECT_EQ(output.sink(), SoundSink::device);
    EXPECT_FALSE(output.fellBackToSilence());
    output.assumeDeviceOpens(true);
    EXPECT_EQ(output.sink(), SoundSink::device);
    EXPECT_FALSE(output.fellBackToSilence());
}

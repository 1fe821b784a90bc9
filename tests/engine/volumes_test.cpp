#include "enginefixture.h"

using Volumes = EngineTest;

TEST_F(Volumes, BusVolumesReachTheirOwnPlayersAndMuteSilencesAll)
{
    const MediaAsset song = addAsset(audioFile(QStringLiteral("song.wav")), AssetKind::audio);
    const MediaAsset bang = addAsset(audioFile(QStringLiteral("bang.wav")), AssetKind::audio);
    setTimeline(0, {clip(song, 0, Track::music), clip(song, 0, Track::music, 2), clip(bang, 0, Track::effects)});
    takeCue(0);
    ASSERT_EQ(playersHolding(song.url), 2);
    ASSERT_EQ(playersHolding(bang.url), 1);
    EXPECT_FLOAT_EQ(engine->musicVolume(), 0.8);
    engine->setMusicVolume(0.3);
    // The music and effects bus players come first, then those of the clips.
    const auto volumesOf = [&](const std::function<bool(const FakePlayer*)>& wanted) {
        QList<float> levels;
        for (qsizetype i = 0; i < players.size(); ++i)
            if (players[i] && wanted(players[i]))
                levels.append(players[i]->volume());
        return levels;
    };
    const auto musicBus = [&](const FakePlayer* player) { return player == players[0] || player->url() == song.url; };
    const auto effectsBus = [&](const FakePlayer* player) { return player == players[1] || player->url() == bang.url; };
    EXPECT_EQ(volumesOf(musicBus), QList<float>(3, 0.3f));
    EXPECT_EQ(volumesOf(effectsBus), QList<float>(2, 0.8f));

    engine->setMuted(true);
    EXPECT_EQ(volumesOf(musicBus), QList<float>(3, 0));
    EXPECT_EQ(volumesOf(effectsBus), QList<float>(2, 0));
    engine->setMuted(false);
    EXPECT_EQ(volumesOf(musicBus), QList<float>(3, 0.3f));
    EXPECT_EQ(volumesOf(effectsBus), QList<float>(2, 0.8f));
}

TEST_F(Volumes, VideoSoundIsHeardOnTheFirstScreenOnlyUnlessTheCueSaysOtherwise)
{
    edit([&](Show& show) {
        show.cues[0].main = video;
        show.cues[0].sideMirrorsMain = true;
        show.cues[0].videoAudio = true;
    });
    engine->take(cue(0));
    EXPECT_FALSE(shown(kScreen1)->player()->isMuted());
    EXPECT_TRUE(shown(kScreen2)->player()->isMuted());

    edit([](Show& show) { show.cues[0].videoMuted = false; });
    engine->take(cue(0));
    EXPECT_FALSE(shown(kScreen1)->player()->isMuted());
    EXPECT_FALSE(shown(kScreen2)->player()->isMuted());
    engine->setMuted(true);
    EXPECT_TRUE(shown(kScreen1)->player()->isMuted());
    EXPECT_TRUE(shown(kScreen2)->player()->isMuted());
    engine->setMuted(false);

    edit([](Show& show) { show.cues[0].videoMuted = true; });
    engine->take(cue(0));
    EXPECT_TRUE(shown(kScreen1)->player()->isMuted());

    edit([](Show& show) {
        show.cues[0].videoMuted.reset();
        show.cues[0].videoAudio = false;
    });
    engine->take(cue(0));
    EXPECT_TRUE(shown(kScreen1)->player()->isMuted());
}

TEST_F(Volumes, OnlyTheClipInFrontIsHeard)
{
    const MediaAsset low = addAsset(videoFile(QStringLiteral("low.mp4")), AssetKind::video, 10);
    const MediaAsset high = addAsset(videoFile(QStringLiteral("high.mp4")), AssetKind::video, 2);
    TimelineEvent under = clip(low, 0);
    under.videoAudio = true;
    TimelineEvent over = clip(high, 1, Track::main, 2);
    over.videoAudio = true;
    TimelineEvent quiet = clip(low, 0, Track::side);
    quiet.videoMuted = false;
    setTimeline(0, {under, over, quiet});
    takeCue(0);
    Picture* lowPicture = shown();
    ASSERT_TRUE(lowPicture);
    EXPECT_FALSE(lowPicture->player()->isMuted());
    EXPECT_FALSE(shown(kScreen2)->player()->isMuted()) << "switched on for a screen other than the first";
    advanceTo(1.1);
    ASSERT_NE(shown(), lowPicture);
    EXPECT_FALSE(shown()->player()->isMuted());
    EXPECT_TRUE(lowPicture->player()->isMuted());
    advanceTo(3.1);
    EXPECT_EQ(shown(), lowPicture);
    EXPECT_FALSE(lowPicture->player()->isMuted());
}

TEST_F(Volumes, NothingOnAirMutesTheProgramPictures)
{
    edit([&](Show& show) { show.cues[0].main = audioFile(QStringLiteral("on-screen.wav")); });
    engine->take(cue(0));
    EXPECT_TRUE(engine->program(kScreen1)->player()->isMuted()) << "video sound is off by default";
    edit([&](Show& show) { show.cues[0].videoMuted = false; });
    engine->take(cue(0));
    EXPECT_FALSE(engine->program(kScreen1)->player()->isMuted());
    engine->stop(true);
    engine->setMuted(false);
    EXPECT_TRUE(engine->program(kScreen1)->player()->isMuted());
}

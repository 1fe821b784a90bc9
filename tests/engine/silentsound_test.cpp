#include "enginefixture.h"
#include "soundoutput.h"

static const QString kNothingHeard = QStringLiteral("没有可用的声音输出设备，声音不会播出");

// A machine on which no sound device opens, stated in code so that the test does not depend on the machine.
class SilentSound : public EngineTest
{
  protected:
    void SetUp() override
    {
        SoundOutput::shared().assumeDeviceOpens(false);
        EngineTest::SetUp();
    }
    void TearDown() override { SoundOutput::shared().choose(SoundSink::silent); }

    // What the status line says after the start's own text, when a cue starts.
    std::string startedWith(int index, const QString& start = QStringLiteral("播出中 · "))
    {
        takeCue(index);
        const QString own = start + cue(index).name;
        const QString line = engine->message();
        return (line.startsWith(own) ? line.mid(own.size()) : line).toStdString();
    }
};

TEST_F(SilentSound, TheStatusLineSaysSoOnceAndAgainWhenACueWithSoundStarts)
{
    ASSERT_TRUE(waitUntil([&] { return engine->message() == kNothingHeard; }, 5000)) << engine->message().toStdString();

    edit([&](Show& show) {
        show.cues[0].audio = music;
        show.cues[1].main = stillFile(Qt::blue);
        show.cues[2].main = video;
    });
    const std::string note = (QStringLiteral(" · ") + kNothingHeard).toStdString();
    EXPECT_EQ(startedWith(0), note);
    EXPECT_EQ(startedWith(1), "");
    // A video's own sound is heard on the first screen only when the cue turns it on.
    EXPECT_EQ(startedWith(2), "");
    edit([&](Show& show) { show.cues[2].videoAudio = true; });
    EXPECT_EQ(startedWith(2), note);
    edit([&](Show& show) { show.cues[2].videoMuted = true; });
    EXPECT_EQ(startedWith(2), "");

    const MediaAsset sound = addAsset(music, AssetKind::audio, 4);
    setTimeline(1, {clip(sound, 0, Track::effects)});
    EXPECT_EQ(startedWith(1, QStringLiteral("时间轴播出 · ")), note);
    setTimeline(1, {udpMessage(30, 9, QStringLiteral("go"))});
    EXPECT_EQ(startedWith(1, QStringLiteral("时间轴播出 · ")), "");
}

TEST_F(SilentSound, TheFirstWordKeepsWhatTheStatusLineSaidBefore)
{
    // The answer comes from a worker, and reaches the engine only through the event loop, which has not run yet.
    engine->setMessage(QStringLiteral("已恢复未保存工程"));
    EXPECT_TRUE(waitUntil([&] { return engine->message().contains(kNothingHeard); }, 5000));
    EXPECT_EQ(engine->message(), QStringLiteral("已恢复未保存工程 · ") + kNothingHeard);
}

TEST_F(SilentSound, NothingIsSaidWhereADeviceOpensOrSilenceWasChosen)
{
    for (const bool chosen : {false, true}) {
        if (chosen)
            SoundOutput::shared().choose(SoundSink::silent);
        else
            SoundOutput::shared().assumeDeviceOpens(true);
        engine = makeEngine(true);
        edit([&](Show& show) { show.cues[0].audio = music; });
        EXPECT_EQ(startedWith(0), "") << "chosen: " << chosen;
    }
}

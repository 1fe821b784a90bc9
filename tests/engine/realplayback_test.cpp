#include "enginefixture.h"
#include "independentscreens.h"
#include "soundoutput.h"

#include <QElapsedTimer>
#include <cmath>
#include <cstdio>

// The engine on real players and the real clock, with sound going to a fake sink that still runs in real time.
class RealPlayback : public EngineTest
{
  protected:
    void SetUp() override
    {
        SoundOutput::shared().choose(SoundSink::silent);
        Engine::Services services;
        services.displays = displays;
        engine = std::make_unique<Engine>(true, nullptr, folder.path(), services);
    }

    static QUrl fileUrl(const QString& path) { return QUrl::fromLocalFile(path); }
};

TEST_F(RealPlayback, DirectCuesVideoAndAudioRunTogetherAndAutomaticGoFollowsTheVideo)
{
    const QUrl video = fileUrl(MediaFixtures::video({.seconds = 1.5}));
    const QUrl music = fileUrl(MediaFixtures::wav({.seconds = 3}));
    edit([&](Show& show) {
        show.cues[0].main = video;
        show.cues[0].audio = music;
        show.cues[0].ending = EndBehavior::next;
        show.cues[1].main = video;
    });
    engine->take(cue(0));
    // Guarded: a playback that goes wrong may drop these while the events run, which must fail, not crash.
    const QPointer<Picture> shown = engine->program(kScreen1)->foreground();
    ASSERT_TRUE(shown);
    const QPointer<Player> picture = shown->player();
    const QPointer<Player> sound = engine->audioPlayer(Bus::music);
    ASSERT_TRUE(waitUntil(
        [&] { return picture && sound && picture->currentTime() > 0.5 && sound->currentTime() > 0.5; }, 20000));
    // The sound's position between two looks at the picture's: a busy machine may be slow between looks.
    const double seenBefore = picture->currentTime();
    const double heard = sound->currentTime();
    const double seenAfter = picture->currentTime();
    EXPECT_GT(heard, seenBefore - 0.1);
    EXPECT_LT(heard, seenAfter + 0.1);
    const Picture* first = shown.data();

    ASSERT_TRUE(waitUntil([&] { return onAir(1); }, 20000));
    ASSERT_TRUE(sound);
    EXPECT_FALSE(sound->hasItem()) << "the next cue has no audio of its own and empties the bus";
    Picture* following = engine->program(kScreen1)->foreground();
    ASSERT_TRUE(following);
    EXPECT_NE(following, first);
    EXPECT_TRUE(following->player()->isReady()) << "prepared while the first cue played";
}

TEST_F(RealPlayback, TimelineVideoClipPlaysItsLengthThenTheShowGoesOn)
{
    // Long enough that a busy machine still looks while it plays.
    const QUrl video = fileUrl(MediaFixtures::video({.seconds = 3}));
    const MediaAsset asset = addAsset(video, AssetKind::video);
    setTimeline(0, {clip(asset, 0.2)});
    edit([&](Show& show) { show.cues[0].ending = EndBehavior::next; });
    engine->take(cue(0));
    ASSERT_TRUE(waitUntil([&] { return engine->program(kScreen1)->foreground(); }, 20000));
    const QPointer<Player> player = engine->program(kScreen1)->foreground()->player();
    ASSERT_TRUE(waitUntil([&] { return player && player->currentTime() > 0.3; }, 20000));
    EXPECT_TRUE(player->isPlaying());
    ASSERT_TRUE(waitUntil([&] { return onAir(1); }, 20000));
}

TEST_F(RealPlayback, RunOfOneVideoFinishesWhenTheVideoHasPlayed)
{
    const QUrl video = fileUrl(MediaFixtures::video({.seconds = 1.5}));
    edit([&](Show& show) { show.cues[1].main = video; });
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueOnce, cue(1)));
    EXPECT_EQ(engine->projectionPosition(), QStringLiteral("1 / 1"));
    ASSERT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("投放完成"); }, 20000));
    EXPECT_GE(elapsed.elapsed(), 1400);
    EXPECT_FALSE(engine->projectionMode());
    EXPECT_FALSE(engine->program(kScreen1)->foreground());
}

TEST_F(RealPlayback, FrozenScreenShowsTheFrameWhereTheProgrammeWas)
{
    const QUrl video = fileUrl(MediaFixtures::indexedVideo(90));
    edit([&](Show& show) { show.cues[0].main = video; });
    engine->take(cue(0));
    const QPointer<Player> programme = engine->program(kScreen1)->foreground()->player();
    ASSERT_TRUE(waitUntil([&] { return programme && programme->currentTime() > 1.0; }, 20000));
    engine->pauseScreens({kScreen1});
    const Engine* screen = engine->independentScreens().engine(kScreen1);
    ASSERT_TRUE(screen && screen->paused());
    const QPointer<Player> frozen = screen->program(kScreen1)->foreground()->player();
    const double at = frozen->currentTime();
    EXPECT_GT(at, 1.0);
    std::optional<VideoFrame> frame;
    ASSERT_TRUE(
        waitUntil([&] { return frozen && (frame = frozen->currentFrame()) && std::abs(frame->time() - at) < 0.05; }));
    EXPECT_NEAR(MediaFixtures::frameIndexOf(frame->toImage()), at * 30, 1.5);
    EXPECT_FALSE(frozen->isPlaying());
    ASSERT_TRUE(programme);
    EXPECT_TRUE(programme->isPlaying()) << "the programme plays on beneath";
}

TEST_F(RealPlayback, ClipWrittenOverOrCutShortWhilePlayingFailsButOneMovedAsidePlaysOn)
{
    const QString original = MediaFixtures::video({.seconds = 4});
    const QByteArray other = [] {
        QFile file(MediaFixtures::video({.seconds = 1, .pattern = "red"}));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    ASSERT_FALSE(other.isEmpty());
    const QString victim = path(QStringLiteral("victim.mp4"));
    edit([&](Show& show) {
        show.cues[0].main = fileUrl(victim);
        show.cues[0].name = QStringLiteral("victim.mp4");
    });
    const auto playing = [&] {
        QFile::remove(victim);
        EXPECT_TRUE(QFile::copy(original, victim));
        // The file was missing a moment ago: GO comes once the disk has said it is back.
        engine->mediaFiles().refresh({fileUrl(victim)}, FileDepth::header, MediaFiles::Again::fromNow);
        EXPECT_TRUE(waitUntil([&] {
            const std::optional<FileAnswer> answer = engine->mediaFiles().known(fileUrl(victim), FileDepth::header);
            return answer && answer->readable && !engine->mediaFiles().onTheWay(fileUrl(victim));
        }));
        engine->take(cue(0));
        EXPECT_TRUE(waitUntil([&] { return engine->program(kScreen1)->foreground() != nullptr; }));
        Picture* front = engine->program(kScreen1)->foreground();
        const QPointer<Player> player = front ? front->player() : nullptr;
        EXPECT_TRUE(waitUntil([&] { return player && player->currentTime() > 0.5; }, 10000));
        EXPECT_EQ(engine->message(), QStringLiteral("播出中 · victim.mp4"));
        return player;
    };
    const auto changes = {
        std::pair<const char*, std::function<void()>>{"written over in place",
                                                      [&] {
                                                          QFile file(victim);
                                                          ASSERT_TRUE(file.open(QIODevice::WriteOnly));
                                                          file.write(other);
                                                      }},
        {"cut to nothing", [&] { ASSERT_TRUE(QFile::resize(victim, 0)); }},
    };
    for (const auto& [kind, change] : changes) {
        SCOPED_TRACE(kind);
        const QPointer<Player> player = playing();
        change();
        EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("播放失败 · victim.mp4"); }, 15000))
            << engine->message().toStdString();
        EXPECT_TRUE(player && player->status() == PlayerStatus::failed);
    }

    // Another file moved over the name leaves the open one playing to its end.
    const QPointer<Player> player = playing();
    bool ended = false;
    QObject::connect(player, &Player::ended, [&] { ended = true; });
    const QString replacement = path(QStringLiteral("replacement.mp4"));
    writeFile(replacement, other);
    ASSERT_EQ(std::rename(QFile::encodeName(replacement).constData(), QFile::encodeName(victim).constData()), 0);
    ASSERT_TRUE(waitUntil([&] { return ended; }, 15000));
    EXPECT_GT(player->currentTime(), 3.5);
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · victim.mp4"));
}

#include "enginefixture.h"
#include "heartbeat.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "picture.h"
#include "stalledfolder.h"
#include "stilldecoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

class StalledMedia : public EngineTest
{
  protected:
    void SetUp() override
    {
        awaitAnswers = false;
        share->stall(folder.filePath(QStringLiteral("share")));
        isReadableFile = [share = share](const QUrl& url) {
            share->hangIfHeld(url);
            return ::isReadableFile(url);
        };
        EngineTest::SetUp();
        const MediaAsset onShare = asset(sharedFile, AssetKind::video);
        edit([&](Show& show) {
            show.cues[0].name = QStringLiteral("共享");
            show.cues[0].main = sharedFile;
            show.cues[1].name = QStringLiteral("本地");
            show.cues[1].main = stillFile(Qt::red);
            show.cues[2].name = QStringLiteral("时间轴");
            show.cues[2].timeline = QList<TimelineEvent>{clip(onShare, 0)};
            show.assets = QList<MediaAsset>{onShare};
        });
    }
    void TearDown() override
    {
        share->release();
        StillDecoder::shared().setBeforeLook({});
    }

    QStringList findings(int cue) const
    {
        QStringList texts;
        for (const Engine::PlaybackIssue& issue :
             engine->playbackIssues({engine->show().cues.at(cue)}, *engine->show().assets, true))
            if (!issue.warning)
                texts.append(issue.text);
        return texts;
    }

    std::shared_ptr<StalledFolder> share = std::make_shared<StalledFolder>();
    const QUrl sharedFile = QUrl::fromLocalFile(folder.filePath(QStringLiteral("share/opening.mp4")));
};

TEST_F(StalledMedia, CheckAndGoAnswerWithinTheDeadlineWhileTheMainThreadServesEvents)
{
    const QString unanswered = QStringLiteral("素材无响应 · opening.mp4");
    Heartbeat heartbeat;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(findings(0), QStringList{QStringLiteral("正在检查素材 · opening.mp4")}) << "asked, never waited for";
    EXPECT_LT(clock.elapsed(), 100) << "the check waited on the share";
    EXPECT_TRUE(waitUntil([&] { return findings(0) == QStringList{unanswered}; }));
    EXPECT_EQ(findings(2), QStringList{unanswered}) << "a timeline clip on the share";

    // The operator presses GO on the cue again and again while the share hangs; each press answers at once.
    int presses = 0;
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        engine->go(std::nullopt);
        ++presses;
    });
    clock.restart();
    operatorHand.start(20);
    waitUntil([&] { return presses >= 20; }, 3000);
    operatorHand.stop();
    EXPECT_GE(presses, 20);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(engine->message(), unanswered);
    EXPECT_FALSE(engine->current()) << "a cue whose file does not answer does not start";
    runEvents(20);
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread stopped serving events";

    // The rest of the console keeps working: a cue with local media goes on air.
    engine->take(cue(1), false, std::nullopt);
    ASSERT_TRUE(engine->current());
    EXPECT_EQ(engine->current()->name, QStringLiteral("本地"));
    EXPECT_LT(heartbeat.longestGapMs(), 1000);

    // Once the share answers, the check tells what it says.
    share->release();
    EXPECT_TRUE(waitUntil([&] { return findings(0) == QStringList{QStringLiteral("素材缺失 · opening.mp4")}; }));
}

// A screen's own play refused because its folder is silent: its screen engine goes with the refusal, and the main
// engine takes the line back once the folder answers again.
TEST_F(StalledMedia, AScreensPlayRefusedForASilentFolderLeavesTheLineWhenTheFolderAnswers)
{
    engine->play(cue(0), {kScreen1});
    const QString refused = QStringLiteral("屏幕 1 · 素材无响应 · opening.mp4");
    ASSERT_TRUE(waitUntil([&] { return engine->message() == refused; }, 5000)) << engine->message().toStdString();
    share->release();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("就绪"); }))
        << engine->message().toStdString();
}

TEST_F(StalledMedia, AStalledFolderHoldsOnlyItsOwnFilesAndTellsWhenItAnswersAgain)
{
    MediaFiles& files = engine->mediaFiles();
    const QUrl local = stillFile(Qt::green);
    const QUrl besideOnShare = QUrl::fromLocalFile(folder.filePath(QStringLiteral("share/closing.mp4")));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(files.state(sharedFile, FileDepth::header), FileState::waiting);
    EXPECT_EQ(files.state(besideOnShare, FileDepth::readable), FileState::waiting);
    EXPECT_LT(clock.elapsed(), 50) << "a question was waited for";
    EXPECT_TRUE(waitUntil([&] { return files.state(local, FileDepth::header) == FileState::answered; }));
    EXPECT_TRUE(files.known(local, FileDepth::header)->readable);
    EXPECT_TRUE(waitUntil([&] { return files.state(sharedFile, FileDepth::header) == FileState::stalled; }));
    EXPECT_EQ(files.state(besideOnShare, FileDepth::readable), FileState::stalled)
        << "a file of the stalled folder waits behind its question";
    EXPECT_EQ(files.state(local, FileDepth::header), FileState::answered) << "other folders answer on";
    // A default picture chosen there is refused, naming the folder that does not answer.
    engine->setDefaultPicture(QUrl::fromLocalFile(folder.filePath(QStringLiteral("share/standby.png"))));
    EXPECT_TRUE(waitUntil([&] {
        return engine->message() == QStringLiteral("无法读取默认画面 · “standby.png”所在的文件夹没有响应");
    })) << engine->message().toStdString();
    EXPECT_FALSE(engine->show().defaultPicture);

    // Views that marked the file redraw when it answers.
    QList<QUrl> told;
    QObject::connect(&files, &MediaFiles::answered, [&](const QUrl& url) { told.append(url); });
    share->release();
    EXPECT_TRUE(waitUntil([&] { return told.contains(sharedFile) && told.contains(besideOnShare); }));
    // The folder answering again tells each of its files, some of which may still wait for their own answer.
    ASSERT_TRUE(waitUntil([&] { return files.known(sharedFile, FileDepth::readable).has_value(); }));
    EXPECT_FALSE(files.known(sharedFile, FileDepth::readable)->readable);
}

// A still whose folder stops answering once the check has passed goes on air without holding the main thread: the
// screen keeps what it showed meanwhile, and the still shows once its folder answers.
TEST_F(StalledMedia, AStillWhoseFolderStopsAnsweringGoesOnAirAndShowsOnceTheFolderAnswers)
{
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("stills")));
    const QString stillPath = folder.filePath(QStringLiteral("stills/onair.png"));
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::green), stillPath));
    const QUrl still = QUrl::fromLocalFile(stillPath);
    edit([&](Show& show) { show.cues[1].main = still; });
    awaitAnswerAbout(still);
    const auto stills = std::make_shared<StalledFolder>();
    stills->stall(folder.filePath(QStringLiteral("stills")));
    StillDecoder::shared().setBeforeLook(
        [stills](const QString& path) { stills->hangIfHeld(QUrl::fromLocalFile(path)); });

    Heartbeat heartbeat;
    QElapsedTimer held;
    held.start();
    engine->take(cue(1), false, std::nullopt);
    EXPECT_LT(held.elapsed(), 100) << "putting the still on air waited on its folder";
    ASSERT_TRUE(engine->current());
    EXPECT_EQ(engine->current()->name, QStringLiteral("本地"));
    const int ticks = heartbeat.ticks();
    // Some sixty beats of the 5 ms timer served while the folder hangs.
    EXPECT_TRUE(waitUntil([&] { return heartbeat.ticks() >= ticks + 60; }))
        << "the main thread served no events while the folder hung";
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the folder";
    EXPECT_FALSE(engine->program(kScreen1)->image()) << "no picture of a file that has not answered";

    stills->release();
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<QImage> shown = engine->program(kScreen1)->image();
        return shown && shown->pixelColor(0, 0) == QColor(Qt::green);
    }));
    EXPECT_TRUE(engine->message().startsWith(QStringLiteral("播出中 · 本地"))) << engine->message().toStdString();
}

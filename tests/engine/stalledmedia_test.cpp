#include "enginefixture.h"
#include "heartbeat.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "stalledfolder.h"

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
    void TearDown() override { share->release(); }

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

    // Views that marked the file redraw when it answers.
    QList<QUrl> told;
    QObject::connect(&files, &MediaFiles::answered, [&](const QUrl& url) { told.append(url); });
    share->release();
    EXPECT_TRUE(waitUntil([&] { return told.contains(sharedFile) && told.contains(besideOnShare); }));
    ASSERT_TRUE(files.known(sharedFile, FileDepth::readable));
    EXPECT_FALSE(files.known(sharedFile, FileDepth::readable)->readable);
}

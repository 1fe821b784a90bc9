#include "awaitedfiles.h"
#include "checkedfiles.h"
#include "enginefixture.h"
#include "independentscreens.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "stalledfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <thread>

// The second and third cue's files lie on a share whose answers the test holds back (the question whether a file can
// be read waits there until released), the first cue's on a local disk. Each sequence of presses is made twice, with
// the answers held back until after the last press and with them in at once, and must end where the Part's order
// puts it both times.
class HeldAnswers : public EngineTest
{
  protected:
    struct Sequence
    {
        const char* name;
        std::function<void()> press;
        // The cue on air, paused, a run on, the status line (none to leave it unread) and the first screen.
        QString expected;
        std::function<void(Show&)> change = [](Show&) {};
        // Pressed once the answers are in.
        std::function<void()> after = [] {};
    };

    void SetUp() override
    {
        awaitAnswers = false;
        QDir().mkpath(sharePath());
        isReadableFile = [disk = disk](const QUrl& url) {
            if (url.toLocalFile().startsWith(disk->slowFolder)) {
                if (url.fileName() == disk->watched)
                    disk->watchedAt = disk->slowQuestions.load();
                ++disk->slowQuestions;
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
            } else if (!url.fileName().startsWith(QStringLiteral("quick"))) {
                disk->held.hangIfHeld(url);
            }
            return ::isReadableFile(url);
        };
        EngineTest::SetUp();
        // A look at a stamp is never held: the share goes on answering, so it does not count as stalled.
        QObject::connect(&pulse, &QTimer::timeout, [this] {
            engine->mediaFiles().refresh({onShare("pulse")}, FileDepth::stamp, MediaFiles::Again::fromNow);
        });
    }
    void TearDown() override { disk->held.release(); }

    QString sharePath() const { return folder.filePath("share"); }
    QUrl onShare(const QString& name, bool made = true) const
    {
        const QString path = sharePath() + "/" + name;
        if (made && !QFile::exists(path))
            writeFile(path, "video");
        return QUrl::fromLocalFile(path);
    }
    void holdTheShare()
    {
        disk->held.stall(sharePath());
        pulse.start(100);
    }
    // A fresh engine on the show as changed, with the share's answers held back or in.
    void begin(bool held, const std::function<void(Show&)>& change)
    {
        disk->held.release();
        // Each pass opens over unsaved work of its own: none parked by the pass before is on offer.
        engine.reset();
        QFile::remove(parkedPath());
        QFile::remove(recoveryPath());
        engine = makeEngine(true);
        if (held)
            holdTheShare();
        Show show = engine->show();
        show.cues[0].main = videoFile("a.mp4");
        show.cues[1].main = onShare("b.mp4");
        show.cues[2].main = onShare("c.mp4");
        change(show);
        engine->setShow(show);
        for (const QUrl& url : checkedFiles(show.cues, {}))
            if (!held || !url.toLocalFile().startsWith(sharePath()))
                awaitAnswerAbout(url);
    }
    // Every question answered, those asked again at GO included.
    void letAnswersCome()
    {
        pulse.stop();
        disk->held.release();
        ASSERT_TRUE(waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }));
        QCoreApplication::processEvents();
    }
    // The cue on air (paused, in a run), the first screen's status and the cue its screen engine plays, the status
    // line.
    QString endState() const
    {
        QString air = engine->current() ? engine->current()->name : QStringLiteral("—");
        if (engine->paused())
            air += QStringLiteral(" 已暂停");
        if (engine->projectionMode())
            air += QStringLiteral(" 自动投放");
        QString screen = engine->screenStatus(kScreen1);
        if (const Engine* session = engine->independentScreens().engine(kScreen1); session && session->current())
            screen += QStringLiteral(" · ") + session->current()->name;
        return QStringList{air, screen, engine->message()}.join(QStringLiteral(" | "));
    }
    void pressTwice(const Sequence& sequence)
    {
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(sequence.name) + (held ? ", answers held back" : ", answers in at once"));
            begin(held, sequence.change);
            sequence.press();
            letAnswersCome();
            sequence.after();
            // Without a status line expected, it is not read: stopping or returning a screen leaves it as it was.
            const QString end = endState().section(QStringLiteral(" | "), 0, int(sequence.expected.count(" | ")));
            EXPECT_EQ(end.toStdString(), sequence.expected.toStdString());
        }
    }

    static QString playing(const QString& cue) { return cue + QStringLiteral(" | 仅监看 | 播出中 · ") + cue; }

    struct Disk
    {
        StalledFolder held;
        // Each question about a file of the slow folder is answered 40 ms late; counted as they begin.
        QString slowFolder = QStringLiteral("/nowhere/");
        std::atomic<int> slowQuestions = 0;
        QString watched;
        std::atomic<int> watchedAt = -1;
    };
    std::shared_ptr<Disk> disk = std::make_shared<Disk>();
    QTimer pulse;
};

TEST_F(HeldAnswers, TheTransportEndsAsIfEveryAnswerHadBeenThereAtThePress)
{
    const auto goToB = [&] {
        engine->take(cue(0));
        engine->go();
    };
    const auto goToDelayedAThenTakeC = [&] {
        engine->go();
        engine->take(cue(2));
        runEvents(300);
    };
    const auto takeCThenAEnds = [&] {
        engine->take(cue(0));
        const QPointer<FakePlayer> ending = playerOf(videoFile("a.mp4"));
        engine->take(cue(2));
        if (ending)
            ending->finish();
        runEvents(20);
    };
    const auto delayedA = [](Show& show) { show.cues[0].delay = 0.2; };
    const auto autoGoA = [](Show& show) { show.cues[0].ending = EndBehavior::next; };
    const auto missingC = [&](Show& show) { show.cues[2].main = onShare("gone.mp4", false); };
    const auto localC = [](Show& show) { show.cues[2].main = videoFile("c-local.mp4"); };
    const auto with = [&](auto change) {
        return [=](Show& show) {
            change(show);
            missingC(show);
        };
    };
    const QString refusedC = QStringLiteral("开场 | 仅监看 | 素材缺失 · gone.mp4");

    pressTwice({"GO to A with a delay, then take C: the countdown is dropped", goToDelayedAThenTakeC,
                playing(QStringLiteral("退场")), delayedA});
    pressTwice({"GO to A with a delay, then take C whose file is missing: the countdown goes on", goToDelayedAThenTakeC,
                playing(QStringLiteral("暖场")), with(delayedA)});
    pressTwice({"A on air with automatic GO, take C, then A ends: C stays", takeCThenAEnds,
                playing(QStringLiteral("退场")), autoGoA});
    pressTwice({"A with automatic GO, take C whose file is missing, then A ends: B follows", takeCThenAEnds,
                playing(QStringLiteral("开场")), with(autoGoA)});
    pressTwice({"GO to B, then B deleted: B stays on air and GO finds the list ended",
                [&] {
                    goToB();
                    edit([](Show& show) { show.cues.removeAt(1); });
                },
                QStringLiteral("开场 | 仅监看 | 节目单已结束"), [](Show&) {}, [&] { engine->go(); }});
    pressTwice({"GO to B, then pause: B is on air paused",
                [&] {
                    goToB();
                    engine->togglePause();
                },
                QStringLiteral("开场 已暂停 | 仅监看 | 已暂停")});
    pressTwice({"GO to B, then stop: nothing starts",
                [&] {
                    goToB();
                    engine->stop(true);
                },
                QStringLiteral("— | 仅监看 | 媒体已停止 · 灯光保持")});
    const auto goToBThenTakeC = [&] {
        goToB();
        engine->take(cue(2));
    };
    pressTwice({"GO to B, then take a local C: C is on air at once",
                [&] {
                    goToBThenTakeC();
                    EXPECT_TRUE(onAir(2)) << "C waited for B's answers";
                },
                playing(QStringLiteral("退场")), localC});
    pressTwice({"GO to B, then take C whose file is missing: B is on air", goToBThenTakeC, refusedC, missingC});
    pressTwice({"a run of B, then take a local C: the run plays B",
                [&] {
                    engine->beginProjection(ProjectionMode::cueOnce, cue(1));
                    engine->take(cue(2));
                },
                QStringLiteral("开场 自动投放 | 仅监看 | 播出中 · 开场"), localC});

    // GO pressed again while its cue's answers are on the way takes nothing more.
    begin(true, [](Show&) {});
    engine->take(cue(0));
    EXPECT_TRUE(engine->go());
    EXPECT_FALSE(engine->go());
    letAnswersCome();
    EXPECT_EQ(endState().toStdString(), playing(QStringLiteral("开场")).toStdString());
}

TEST_F(HeldAnswers, StopAndOpenDropWhatIsOnItsWayAndAScreenPausedMeanwhileStaysPaused)
{
    Show other = Show::makeDefault();
    writeShowFile(other, path("other.json"), JsonFormat::pretty);
    const auto playCThen = [&](std::function<void()> then) {
        return [this, then] {
            engine->play(cue(2), {kScreen1});
            then();
        };
    };
    const auto opened = [&] { ASSERT_EQ(open(url("other.json")), std::nullopt); };
    const QString stopped = QStringLiteral("— | 仅监看 | 媒体已停止 · 灯光保持");
    const QString openedState = QStringLiteral("— | 仅监看 | 工程已打开");

    pressTwice({"a screen plays C, then stop", playCThen([&] { engine->stop(true); }), stopped});
    pressTwice({"a screen plays C, then the screen's own stop", playCThen([&] { engine->stopScreens({kScreen1}); }),
                QStringLiteral("— | 独立控制")});
    pressTwice({"a screen plays C, then returns to the programme",
                playCThen([&] { engine->returnScreensToProjection({kScreen1}); }), QStringLiteral("— | 仅监看")});
    pressTwice({"a screen plays C, then pauses", playCThen([&] { engine->pauseScreens({kScreen1}); }),
                QStringLiteral("— | 独立暂停 · 退场 | 屏幕 1 · 独立播放")});
    pressTwice({"a screen plays C, then another project is opened", playCThen(opened), openedState});
    pressTwice({"GO to B, then another project is opened",
                [&] {
                    engine->take(cue(0));
                    engine->go();
                    opened();
                },
                openedState});
}

// A wait that ends with no outcome of its own leaves the status line telling what holds now, never the wait: a screen's
// play dropped by the screen's own stop or return, a countdown dropped with its deleted cue, with the answers held
// back as with them in at once (where the stop or return leaves the line the play wrote).
TEST_F(HeldAnswers, TheStatusLineNeverTellsOfAWaitThatIsOver)
{
    const QString onAirA = QStringLiteral("播出中 · 暖场");
    const QList<std::pair<const char*, std::function<void()>>> screenEnds{
        {"the screen's own stop", [&] { engine->stopScreens({kScreen1}); }},
        {"the screen's return", [&] { engine->returnScreensToProjection({kScreen1}); }},
    };
    for (const auto& [name, end] : screenEnds)
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(name) + (held ? ", answers held back" : ", answers in at once"));
            begin(held, [](Show&) {});
            engine->take(cue(0));
            engine->play(cue(2), {kScreen1});
            if (held) {
                EXPECT_EQ(engine->message(), QStringLiteral("正在检查素材 · 退场"));
            }
            end();
            if (held) {
                EXPECT_EQ(engine->message(), onAirA);
            }
            letAnswersCome();
            EXPECT_EQ(engine->message(), held ? onAirA : QStringLiteral("屏幕 1 · 独立播放"));
        }

    const auto delayedB = [](Show& show) { show.cues[1].delay = 5; };
    const auto goToDelayedBThenDeleteB = [&] {
        engine->take(cue(0));
        engine->go();
        edit([](Show& show) { show.cues.removeAt(1); });
    };
    pressTwice({"GO to B with a delay, then B deleted: A on air, no countdown", goToDelayedBThenDeleteB,
                playing(QStringLiteral("暖场")), delayedB});
    pressTwice({"GO to B with a delay, B deleted, then GO: the next cue goes on air", goToDelayedBThenDeleteB,
                playing(QStringLiteral("退场")), delayedB, [&] { engine->go(); }});
}

// A file the disk last called missing is asked again at GO, however recent that answer (even the light look at its
// stamp); and a folder that stalls while files are asked afresh, as an import asks them, keeps what the files that
// answered said: only the others are without an answer.
TEST_F(HeldAnswers, GoAsksAgainWhatWasMissingAndAStallKeepsTheAnswersIn)
{
    const QUrl later = onShare("later.mp4", false);
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "answers held back" : "answers in at once");
        QFile::remove(later.toLocalFile());
        begin(false, [&](Show& show) { show.cues[1].main = later; });
        engine->take(cue(0));
        engine->mediaFiles().refresh({later}, FileDepth::stamp, MediaFiles::Again::fromNow);
        ASSERT_TRUE(waitUntil([&] { return !engine->mediaFiles().onTheWay(later); }));
        ASSERT_FALSE(engine->mediaFiles().known(later, FileDepth::header)->readable);
        writeFile(later.toLocalFile(), "video");
        if (held)
            holdTheShare();
        engine->go();
        letAnswersCome();
        EXPECT_EQ(endState().toStdString(), playing(QStringLiteral("开场")).toStdString());
    }

    QList<QUrl> files;
    for (const QString& name : {QStringLiteral("quick"), QStringLiteral("slow")})
        for (int i = 0; i < 6; ++i)
            files << onShare(name + QString::number(i) + ".png");
    disk->held.stall(sharePath());
    AwaitedFiles import(engine->mediaFiles());
    bool settled = false;
    import.await(files, FileDepth::readable, AwaitedFiles::Freshness::fresh, [&] { settled = true;
});
ASSERT_TRUE(waitUntil([&] { return settled; }));
for (const QUrl& file : files) {
    EXPECT_EQ(engine->mediaFiles().state(file, FileDepth::readable), FileState::stalled);
    EXPECT_EQ(engine->mediaFiles().known(file, FileDepth::readable).has_value(),
              file.fileName().startsWith(QStringLiteral("quick")))
        << file.fileName().toStdString();
}
}

// Two hundred library files on a folder that answers each question 40 ms late, all asked in the background as the
// show changes: GO on the cue whose clip uses the last of them asks its own file ahead of the others, so that only
// questions already begun come before it.
TEST_F(HeldAnswers, GoOnTheLastOfTwoHundredFilesOfASlowFolderAsksItsOwnFileFirst)
{
    disk->slowFolder = folder.filePath("slow") + "/";
    disk->watched = QStringLiteral("clip199.mp4");
    QDir().mkpath(disk->slowFolder);
    QList<MediaAsset> assets;
    for (int i = 0; i < 200; ++i) {
        const QString file = disk->slowFolder + QStringLiteral("clip%1.mp4").arg(i);
        writeFile(file, "video");
        assets.append(asset(QUrl::fromLocalFile(file), AssetKind::video));
    }
    edit([&](Show& show) {
        show.assets = assets;
        show.cues[0].timeline = QList<TimelineEvent>{clip(assets.last(), 0)};
    });
    ASSERT_TRUE(waitUntil([&] { return disk->slowQuestions > 0; })) << "the library is asked as the show changes";

    QElapsedTimer took;
    took.start();
    const int begunAtGo = disk->slowQuestions;
    engine->go();
    ASSERT_TRUE(waitUntil([&] { return onAir(0); })) << engine->message().toStdString();
    const int ahead = disk->watchedAt - begunAtGo;
    std::printf("GO to the cue on air: %.1f ms; %d questions begun after GO ahead of the cue's own\n",
                double(took.nsecsElapsed()) / 1e6, ahead);
    // Each of the folder's threads may have begun one more question before GO's came first in line.
    EXPECT_LE(ahead, 8);
}

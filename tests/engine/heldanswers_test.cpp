#include "awaitedfiles.h"
#include "checkedfiles.h"
#include "edithistory.h"
#include "enginefixture.h"
#include "independentscreens.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "stalledfolder.h"
#include "stilldecoder.h"
#include "waitingedits.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
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
    void begin(bool held, const std::function<void(Show&)>& change, const QString& recoveryDirectory = {})
    {
        disk->held.release();
        // Each pass opens over unsaved work of its own: none parked by the pass before is on offer.
        engine.reset();
        QFile::remove(parkedPath());
        QFile::remove(recoveryPath());
        engine = makeEngine(true, recoveryDirectory);
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
    // GO behind a run's start takes its turn: refused by the run that starts, or taking the next cue when the run is
    // refused by its check.
    const auto runOfBThenGo = [&] {
        engine->beginProjection(ProjectionMode::cueOnce, cue(1));
        engine->go();
    };
    pressTwice({"a run of B, then GO: the run plays B", runOfBThenGo,
                QStringLiteral("开场 自动投放 | 仅监看 | 播出中 · 开场")});
    pressTwice({"a run of B whose file is missing, then GO: the run is refused and GO puts A on air", runOfBThenGo,
                playing(QStringLiteral("暖场")), [&](Show& show) { show.cues[1].main = onShare("gone.mp4", false); }});
    // A cue taken becomes the selection at its press: one selected after the press stays selected.
    pressTwice({"take B, then select C: C stays selected",
                [&] {
                    engine->take(cue(1));
                    engine->setSelected(cue(2).id);
                },
                playing(QStringLiteral("开场")), [](Show&) {}, [&] { EXPECT_EQ(engine->selected(), cue(2).id); }});
    pressTwice({"take A, take B, then select A again: A stays selected",
                [&] {
                    engine->take(cue(0));
                    engine->take(cue(1));
                    engine->setSelected(cue(0).id);
                },
                playing(QStringLiteral("开场")), [](Show&) {}, [&] { EXPECT_EQ(engine->selected(), cue(0).id); }});
    pressTwice({"take B, then stop: B is selected as at its press",
                [&] {
                    engine->setSelected(cue(2).id);
                    engine->take(cue(1));
                    engine->stop(true);
                },
                QStringLiteral("— | 仅监看 | 媒体已停止 · 灯光保持"), [](Show&) {},
                [&] { EXPECT_EQ(engine->selected(), cue(1).id); }});
    pressTwice({"take B whose file is missing, then stop: the selection stays",
                [&] {
                    engine->setSelected(cue(2).id);
                    engine->take(cue(1));
                    engine->stop(true);
                },
                QStringLiteral("— | 仅监看 | 媒体已停止 · 灯光保持"),
                [&](Show& show) { show.cues[1].main = onShare("gone.mp4", false); },
                [&] { EXPECT_EQ(engine->selected(), cue(2).id); }});

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

// While an edit waits for the share the line names it whenever it says what holds: a countdown dropped with its cue
// leaves the relink on the line, not "就绪". "恢复内置" reads no picture: the screens lose the default picture at the
// press, and the relink asked before it lands under it.
TEST_F(HeldAnswers, TheLineNamesAWaitingEditAndRestoringTheBuiltInPictureWaitsForNothing)
{
    writeFile(sharePath() + "/moved.mp4", "video");
    const QString moved = onShare("moved.mp4").toLocalFile();
    const auto fallback = [&] { return engine->program(kScreen1)->fallback(); };
    begin(true, [&](Show& show) {
        show.cues[0].delay = 5;
        show.cues[2].main = url("gone/moved.mp4");
    });
    engine->go();
    ASSERT_EQ(engine->message(), QStringLiteral("等待执行 · 暖场"));
    engine->relinkMissingAssets(QUrl::fromLocalFile(sharePath()));
    edit([](Show& show) { show.cues.removeAt(0); });
    EXPECT_EQ(engine->message(), QStringLiteral("正在重新定位缺失素材…"));
    letAnswersCome();
    ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
    EXPECT_EQ(engine->message(), QStringLiteral("已重新定位 1 项素材引用"));

    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "answers held back" : "answers in at once");
        begin(held, [&](Show& show) { show.cues[0].main = url("gone/moved.mp4"); });
        engine->setDefaultPicture(stillFile(Qt::blue));
        ASSERT_TRUE(waitUntil([&] { return fallback().has_value(); }));
        engine->relinkMissingAssets(QUrl::fromLocalFile(sharePath()));
        if (!held) {
            ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
        }
        engine->setDefaultPicture(std::nullopt);
        EXPECT_EQ(engine->message(), QStringLiteral("已清除默认画面"));
        EXPECT_FALSE(fallback().has_value()) << "the old picture stays on the screens";
        letAnswersCome();
        ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
        EXPECT_EQ(cue(0).main->toLocalFile(), moved);
        EXPECT_FALSE(engine->show().defaultPicture.has_value());
        EXPECT_FALSE(fallback().has_value());
        engine->undo();
        EXPECT_EQ(engine->show().defaultPicture, stillFile(Qt::blue)) << "one undo takes back the restore alone";
        EXPECT_EQ(cue(0).main->toLocalFile(), moved);
    }
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

// Edits that wait for the share's answers (a relink, a default picture) end, whatever is opened, recovered or undone
// meanwhile, where they would have ended had the answers been there at the press: on the show and the edit they were
// asked for, or nowhere. The opened show's own default picture reaches its screens at once, and the status line says
// that an edit waits, and, once another show or an undo has dropped it, that it was dropped.
TEST_F(HeldAnswers, AnEditWaitingForItsAnswersLandsOnTheShowAndEditItWasAskedForOrNowhere)
{
    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("另一场演出");
    other.defaultPicture = stillFile(Qt::blue);
    writeShowFile(other, path("other.json"), JsonFormat::pretty);
    Show recovered = Show::makeDefault();
    recovered.cues[0].name = QStringLiteral("停电前的工作");
    const QUrl gone = url("gone/moved.mp4");
    writeFile(sharePath() + "/moved.mp4", "video");
    int round = 0;
    // A picture of its own each round, so that no look at it is at hand from the round before.
    const auto onShareStill = [&](QColor color) {
        const QString name = QStringLiteral("still%1.png").arg(++round);
        QFile::copy(MediaFixtures::png({16, 16}, color), sharePath() + "/" + name);
        return onShare(name);
    };
    const auto junkOnShare = [&] {
        const QString name = QStringLiteral("junk%1.png").arg(++round);
        writeFile(sharePath() + "/" + name, "not a picture");
        return onShare(name);
    };
    const auto fallbackColor = [&] {
        const std::optional<QImage> fallback = engine->program(kScreen1)->fallback();
        return fallback ? fallback->pixelColor(0, 0) : QColor();
    };
    // The show by its cues, their first screen's files and its default picture, then unsaved, the undo position
    // among the steps (those above it can be redone) and the colour the first screen falls back to.
    const auto endState = [&] {
        QStringList cues;
        for (const Cue& cue : engine->show().cues)
            cues << cue.name + "=" + (cue.main ? cue.main->toLocalFile().remove(folder.path()) : QStringLiteral("-"));
        return QStringList{
            cues.join(", "), engine->show().defaultPicture ? engine->show().defaultPicture->fileName() : "-",
            engine->hasUnsavedChanges() ? "未保存" : "已保存",
            QStringLiteral("%1/%2").arg(engine->editHistory()->index()).arg(engine->editHistory()->count()),
            fallbackColor().isValid() ? fallbackColor().name() : QStringLiteral("无")}
            .join(" | ");
    };
    const auto opened = [&] { ASSERT_EQ(open(url("other.json")), std::nullopt); };
    // The opened show's picture is on its screens before the share has said anything of the picture before.
    const auto opensBlueWhileWaitingFor = [&](const QUrl& before) {
        const auto state = [&] { return engine->mediaFiles().state(before, FileDepth::readable); };
        waitUntil([&] { return fallbackColor() == QColor(Qt::blue) || state() != FileState::waiting; });
        EXPECT_EQ(fallbackColor(), QColor(Qt::blue));
        EXPECT_EQ(state(), FileState::waiting) << "the opened show's picture waited behind the earlier one";
    };
    // A picture whose file answers at once but whose look (whether it reads at all) the test holds back.
    const QString lookFolder = folder.filePath("looks");
    QDir().mkpath(lookFolder);
    auto looks = std::make_shared<StalledFolder>();
    StillDecoder::shared().setBeforeLook(
        [looks](const QString& path) { looks->hangIfHeld(QUrl::fromLocalFile(path)); });
    const auto cleared = qScopeGuard([looks] {
        looks->release();
        StillDecoder::shared().setBeforeLook({});
    });
    const auto recoveredNow = [&] { ASSERT_EQ(recover(), std::nullopt); };
    const auto relink = [&] { engine->relinkMissingAssets(QUrl::fromLocalFile(sharePath())); };
    struct Case
    {
        const char* name;
        std::function<void(bool held)> press;
        QString end;
        // The status line with the answers held back, and with them in at once.
        QString heldLine;
        QString atOnceLine;
        // Work a crash left is on offer at the start.
        bool workOnOffer = false;
    };
    // With the answers in at once, an edit has landed before the next press.
    const auto landed = [&](bool held) {
        if (!held) {
            ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
        }
    };
    const auto waitsSaying = [&](bool held, const QString& line) {
        if (held) {
            EXPECT_EQ(engine->message().toStdString(), line.toStdString());
        }
        landed(held);
    };
    const QString otherEnd = QStringLiteral("另一场演出=-, 开场=-, 退场=- | ") + other.defaultPicture->fileName() +
                             QStringLiteral(" | 已保存 | 0/0 | #0000ff");
    const QString renamedEnd = QStringLiteral("改过的暖场=/gone/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | "
                                              "未保存 | 2/3 | 无");
    const QList<Case> cases{
        {"relink into the share, then open another show: the opened show is not changed",
         [&](bool held) {
             relink();
             waitsSaying(held, QStringLiteral("正在重新定位缺失素材…"));
             opened();
         },
         otherEnd, QStringLiteral("工程已打开 · 已放弃尚未完成的重新定位缺失素材"), QStringLiteral("工程已打开")},
        {"relink into the share, then recover unsaved work: the recovered show is not changed",
         [&](bool held) {
             relink();
             landed(held);
             recoveredNow();
         },
         QStringLiteral("停电前的工作=-, 开场=-, 退场=- | - | 未保存 | 0/0 | 无"),
         QStringLiteral("已恢复未保存工程 · 原先未保存的修改已另存，可再次恢复 · 已放弃尚未完成的重新定位缺失素材"),
         QStringLiteral("已恢复未保存工程 · 原先未保存的修改已另存，可再次恢复"), true},
        {"a default picture chosen on the share, then another show opened: it keeps its own picture",
         [&](bool held) {
             const QUrl green = onShareStill(Qt::green);
             engine->setDefaultPicture(green);
             waitsSaying(held, QStringLiteral("正在读取默认画面…"));
             opened();
             if (held)
                 opensBlueWhileWaitingFor(green);
         },
         otherEnd, QStringLiteral("工程已打开 · 已放弃尚未完成的默认画面设置"), QStringLiteral("工程已打开")},
        {"a picture that cannot be read chosen on the share, then another show opened: its refusal stays with the "
         "show it was meant for",
         [&](bool held) {
             engine->setDefaultPicture(junkOnShare());
             landed(held);
             opened();
         },
         otherEnd, QStringLiteral("工程已打开 · 已放弃尚未完成的默认画面设置"), QStringLiteral("工程已打开")},
        {"a default picture looked at slowly, then another show opened: the look lands nowhere",
         [&](bool held) {
             const QString still = lookFolder + QStringLiteral("/still%1.png").arg(++round);
             QFile::copy(MediaFixtures::png({16, 16}, Qt::green), still);
             awaitAnswerAbout(QUrl::fromLocalFile(still));
             if (held)
                 looks->stall(lookFolder);
             engine->setDefaultPicture(QUrl::fromLocalFile(still));
             waitsSaying(held, QStringLiteral("正在读取默认画面…"));
             opened();
             looks->release();
             ASSERT_TRUE(waitUntil([&] { return !StillDecoder::shared().isDecoding(still); }));
             QCoreApplication::processEvents();
         },
         otherEnd, QStringLiteral("工程已打开 · 已放弃尚未完成的默认画面设置"), QStringLiteral("工程已打开")},
        {"rename, a default picture chosen on the share, undo: the picture is taken back, the rename stays",
         [&](bool held) {
             rename(0, QStringLiteral("改过的暖场"));
             engine->setDefaultPicture(onShareStill(Qt::green));
             landed(held);
             engine->undo();
         },
         renamedEnd, QStringLiteral("默认画面 · still%1.png"), QStringLiteral("默认画面 · still%1.png")},
        {"rename, relink into the share, undo: the relink is taken back, the rename stays",
         [&](bool held) {
             rename(0, QStringLiteral("改过的暖场"));
             relink();
             landed(held);
             engine->undo();
         },
         renamedEnd, QStringLiteral("已重新定位 1 项素材引用"), QStringLiteral("已重新定位 1 项素材引用")},
        // Outcomes that land in one turn are told in the order pressed: the last press has the last word.
        {"take B on the share, then relink into the share: the relink has the last word",
         [&](bool held) {
             engine->take(cue(1));
             if (!held) {
                 ASSERT_TRUE(waitUntil([&] { return engine->current().has_value(); }));
             }
             relink();
             landed(held);
         },
         QStringLiteral("暖场=/share/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/2 | 无"),
         QStringLiteral("已重新定位 1 项素材引用"), QStringLiteral("已重新定位 1 项素材引用")},
        {"relink into the share, then take B on the share: B's start has the last word",
         [&](bool held) {
             relink();
             landed(held);
             engine->take(cue(1));
             if (!held) {
                 ASSERT_TRUE(waitUntil([&] { return engine->current().has_value(); }));
             }
         },
         QStringLiteral("暖场=/share/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/2 | 无"),
         QStringLiteral("播出中 · 开场"), QStringLiteral("播出中 · 开场")},
        // Undo and redo go over the operator's actions in the order pressed, a waiting edit at its press.
        {"relink into the share, rename, undo: the rename is undone, the relink stays",
         [&](bool held) {
             relink();
             landed(held);
             rename(0, QStringLiteral("改过的暖场"));
             engine->undo();
         },
         QStringLiteral("暖场=/share/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/3 | 无"),
         QStringLiteral("已重新定位 1 项素材引用"), QStringLiteral("已重新定位 1 项素材引用")},
        {"relink into the share, rename, undo, redo: the rename is made again on the relinked show",
         [&](bool held) {
             relink();
             landed(held);
             rename(0, QStringLiteral("改过的暖场"));
             engine->undo();
             engine->redo();
         },
         QStringLiteral("改过的暖场=/share/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 3/3 | 无"),
         QStringLiteral("已重新定位 1 项素材引用"), QStringLiteral("已重新定位 1 项素材引用")},
        {"relink into the share, redo: there is nothing to redo, the relink lands",
         [&](bool held) {
             relink();
             landed(held);
             EXPECT_FALSE(engine->canRedo());
             engine->redo();
         },
         QStringLiteral("暖场=/share/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/2 | 无"),
         QStringLiteral("已重新定位 1 项素材引用"), QStringLiteral("已重新定位 1 项素材引用")},
        {"a default picture chosen on the share, undo, redo: the picture comes back",
         [&](bool held) {
             engine->setDefaultPicture(onShareStill(Qt::green));
             landed(held);
             engine->undo();
             EXPECT_TRUE(engine->canRedo());
             engine->redo();
         },
         QStringLiteral("暖场=/gone/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | still%1.png | 未保存 | 2/2 | "
                        "#00ff00"),
         QStringLiteral("默认画面 · still%1.png"), QStringLiteral("默认画面 · still%1.png")},
        {"a relink that finds nothing, rename, undo: the relink leaves no step, the rename can be redone",
         [&](bool held) {
             edit([&](Show& show) { show.cues[0].main = url("gone/elsewhere.mp4"); });
             relink();
             landed(held);
             rename(0, QStringLiteral("改过的暖场"));
             engine->undo();
         },
         QStringLiteral("暖场=/gone/elsewhere.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/3 | 无"),
         QStringLiteral("未找到同名的缺失素材"), QStringLiteral("未找到同名的缺失素材")},
        {"relink into the share, undo, rename: the relink is dropped with the step it held",
         [&](bool held) {
             relink();
             landed(held);
             engine->undo();
             rename(0, QStringLiteral("改过的暖场"));
         },
         QStringLiteral("改过的暖场=/gone/moved.mp4, 开场=/share/b.mp4, 退场=/share/c.mp4 | - | 未保存 | 2/2 | 无"),
         QStringLiteral("就绪"), QStringLiteral("已重新定位 1 项素材引用")},
    };
    for (const Case& c : cases)
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (held ? ", answers held back" : ", answers in at once"));
            const QString recovery = folder.filePath(QStringLiteral("recovery%1").arg(++round));
            if (c.workOnOffer)
                writeShowFile(recovered, recovery + "/Recovery.json", JsonFormat::compact);
            begin(
                held, [&](Show& show) { show.cues[0].main = gone; }, recovery);
            c.press(held);
            letAnswersCome();
            // A picture that decodes reaches the screens after its answer.
            const QString end = c.end.contains("%1") ? c.end.arg(round) : c.end;
            QString line = held ? c.heldLine : c.atOnceLine;
            if (line.contains("%1"))
                line = line.arg(round);
            // A picture that decodes, or an edit taken back that lands for a redo, ends after its answer.
            waitUntil([&] { return endState() == end && engine->message() == line; }, 2000);
            EXPECT_EQ(endState().toStdString(), end.toStdString());
            EXPECT_EQ(engine->message().toStdString(), line.toStdString());
        }

    // The opened show's own picture reaches its screens while the picture the show before stored still waits.
    Show first = Show::makeDefault();
    first.defaultPicture = onShareStill(Qt::green);
    writeShowFile(first, path("first.json"), JsonFormat::pretty);
    begin(true, [](Show&) {});
    ASSERT_EQ(open(url("first.json")), std::nullopt);
    opened();
    opensBlueWhileWaitingFor(*first.defaultPicture);
    letAnswersCome();
    EXPECT_EQ(fallbackColor(), QColor(Qt::blue));
}

// A relink that waits while a clip is dragged is no move of the drag: one undo takes back the drag alone. A save
// pressed while it waits writes the show with the relink, the show as it was at the press, and only then says it
// saved: a rename made after the press stays unsaved.
TEST_F(HeldAnswers, AWaitingRelinkIsNoMoveOfADragAndIsInTheFileOfASavePressedAfterIt)
{
    const QUrl gone = url("gone/moved.mp4");
    writeFile(sharePath() + "/moved.mp4", "video");
    const QString moved = onShare("moved.mp4").toLocalFile();
    const auto relink = [&] { engine->relinkMissingAssets(QUrl::fromLocalFile(sharePath())); };
    const auto landed = [&](bool held) {
        if (!held) {
            ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
        }
    };
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "answers held back" : "answers in at once");
        begin(held, [&](Show& show) { show.cues[0].main = gone; });
        relink();
        landed(held);
        engine->history().beginDrag();
        for (int position = 1; position <= 3; ++position) {
            clock->now += 0.016;
            edit([&](Show& show) { show.cues[0].delay = position; });
            if (position == 2)
                letAnswersCome();
        }
        engine->history().endDrag();
        ASSERT_TRUE(waitUntil([&] { return !engine->waitingEdits().waiting(); }));
        EXPECT_EQ(cue(0).main->toLocalFile(), moved);
        engine->undo();
        EXPECT_EQ(cue(0).delay, Show::makeDefault().cues[0].delay) << "the drag is undone";
        EXPECT_EQ(cue(0).main->toLocalFile(), moved) << "the relink stays";
    }

    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "save behind a relink, answers held back" : "save behind a relink, answers in at once");
        begin(held, [&](Show& show) { show.cues[0].main = gone; });
        const QString file = path(QStringLiteral("saved%1.json").arg(held));
        relink();
        landed(held);
        engine->saveProject(QUrl::fromLocalFile(file));
        if (held) {
            EXPECT_FALSE(engine->message().startsWith(QStringLiteral("已保存")));
        }
        rename(1, QStringLiteral("保存之后"));
        letAnswersCome();
        ASSERT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("已保存")); }))
            << engine->message().toStdString();
        const Show written = readShowFile(file);
        EXPECT_EQ(written.cues[0].main->toLocalFile(), moved);
        EXPECT_EQ(written.cues[1].name, Show::makeDefault().cues[1].name);
        EXPECT_TRUE(engine->hasUnsavedChanges());
    }
}

// A recovery write still on its way when another show is opened ends with the show it wrote: its failure is neither
// the opened show's status line nor its recovery error. Pressed once with the write landing before the open and once
// with it landing after, ending the same.
TEST_F(HeldAnswers, ARecoveryWriteOnItsWayWhenAShowIsOpenedBelongsToTheShowItWrote)
{
    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("另一场演出");
    writeShowFile(other, path("other.json"), JsonFormat::pretty);
    // Encoding a show this large takes far longer than opening a small one.
    Show large = Show::makeDefault();
    for (int i = 0; i < 40000; ++i) {
        Cue cue;
        cue.name = QStringLiteral("节目 %1 ").arg(i).repeated(20);
        large.cues.append(cue);
    }
    for (const bool late : {false, true}) {
        SCOPED_TRACE(late ? "the write lands after the open" : "the write lands before the open");
        // Every write of the recovery copy fails: its folder cannot be made.
        engine = makeEngine(true, unwritablePath(QStringLiteral("recovery")));
        edit([&](Show& show) { show = large; });
        std::optional<std::optional<QString>> lost;
        engine->history().keepNewestEdits(std::chrono::minutes(1),
                                          [&](const std::optional<QString>& why) { lost = why; });
        if (!late) {
            ASSERT_TRUE(waitUntil([&] { return lost.has_value(); }, 30000));
        }
        engine->undo();
        ASSERT_EQ(open(url("other.json")), std::nullopt);
        if (late) {
            EXPECT_FALSE(lost.has_value()) << "the write landed before the open";
        }
        ASSERT_TRUE(waitUntil([&] { return lost.has_value(); }, 30000));
        EXPECT_TRUE(lost->has_value()) << "the write did not fail";
        EXPECT_EQ(engine->message().toStdString(), "工程已打开");
        EXPECT_FALSE(engine->history().newestEditsInNoFile());
        EXPECT_EQ(engine->history().recoveryError().toStdString(), "");
    }
}

// A GO or a take pressed while an edit of the show waits for its answers takes the cue as the show will be with the
// edit made: a cue whose file a waiting relink finds plays, as it would with the relink made at once.
TEST_F(HeldAnswers, AGoOrTakeBehindAWaitingEditTakesTheCueAsTheEditLeavesIt)
{
    writeFile(sharePath() + "/moved.mp4", "video");
    const auto goneFirst = [&](Show& show) { show.cues[0].main = url("gone/moved.mp4"); };
    const auto relink = [&] { engine->relinkMissingAssets(QUrl::fromLocalFile(sharePath())); };
    pressTwice({"a relink waits, GO", [&] { relink(), engine->go(); }, playing(QStringLiteral("暖场")), goneFirst});
    pressTwice({"a relink waits, take the first cue", [&] { relink(), engine->take(cue(0)); },
                playing(QStringLiteral("暖场")), goneFirst});
    pressTwice({"a relink waits, GO, GO: the second GO does not take another cue",
                [&] { relink(), engine->go(), engine->go(); }, playing(QStringLiteral("暖场")), goneFirst});
}

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
#include <ostream>
#include <thread>

// Where a sequence of presses left the show.
struct EndState
{
    QString onAir;
    bool paused = false;
    bool run = false;
    QString message;
    // The first screen's status word, and the cue its screen engine plays.
    QString screen;

    bool operator==(const EndState&) const = default;
};

void PrintTo(const EndState& end, std::ostream* out)
{
    *out << "on air \"" << end.onAir.toStdString() << "\"" << (end.paused ? " paused" : "") << (end.run ? " run" : "")
         << ", \"" << end.message.toStdString() << "\", screen \"" << end.screen.toStdString() << "\"";
}

// A show whose later cues' files lie in a folder whose answers the test holds back, as a share that answers late
// does: the question whether each file can be read waits there until released. Each sequence of presses is made
// twice, once with the answers held back until after the last press and once with them in at once, and must end
// alike: where it would have ended had every answer been there at the press.
class HeldAnswers : public EngineTest
{
  protected:
    void SetUp() override
    {
        awaitAnswers = false;
        QDir().mkpath(sharePath());
        writeFile(sharePath() + "/pulse", {});
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
        // A look at a file's stamp is never held: the share goes on answering, so it never counts as stalled.
        QObject::connect(&pulse, &QTimer::timeout, [this] {
            engine->mediaFiles().refresh({onShare("pulse")}, FileDepth::stamp, MediaFiles::Again::fromNow);
        });
    }
    void TearDown() override { disk->held.release(); }

    QString sharePath() const { return folder.filePath("share"); }
    // A stand-in media file on the share, made on first use.
    QUrl onShare(const QString& name) const
    {
        const QString path = sharePath() + "/" + name;
        if (!QFile::exists(path))
            writeFile(path, "video");
        return QUrl::fromLocalFile(path);
    }
    QUrl local(const QString& name) const { return videoFile(name); }

    // A fresh engine on the show as changed, the answers about the share held back or let in first.
    void begin(bool held, const std::function<void(Show&)>& change)
    {
        disk->held.release();
        engine = makeEngine(true);
        if (held) {
            disk->held.stall(sharePath());
            pulse.start(100);
        }
        Show show = engine->show();
        change(show);
        engine->setShow(show);
        for (const QUrl& url : checkedFiles(show.cues, show.assets.value_or(QList<MediaAsset>{})))
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

    EndState endState() const
    {
        const Engine* screen = engine->independentScreens().engine(kScreen1);
        QString screenText = engine->screenStatus(kScreen1);
        if (screen && screen->current())
            screenText += QStringLiteral(" · ") + screen->current()->name;
        return {engine->current() ? engine->current()->name : QString(), engine->paused(),
                engine->projectionMode().has_value(), engine->message(), screenText};
    }

    // Presses made on a show, and how they must end.
    struct Sequence
    {
        const char* name;
        std::function<void(Show&)> show;
        std::function<void()> press;
        EndState expected;
        // Pressed once the answers are in.
        std::function<void()> after = [] {};
    };
    void pressTwice(const Sequence& sequence)
    {
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(sequence.name) + (held ? ", answers held back" : ", answers in at once"));
            begin(held, sequence.show);
            sequence.press();
            letAnswersCome();
            sequence.after();
            EndState end = endState();
            // Stopping or returning a screen leaves the status line as it was: what a play would have said.
            if (sequence.expected.message.isNull())
                end.message = QString();
            EXPECT_EQ(end, sequence.expected);
        }
    }

    // The opening cue plays a local video; the second and third cue's files lie on the share.
    void standardShow(Show& show)
    {
        show.cues[0].main = local("a.mp4");
        show.cues[1].main = onShare("b.mp4");
        show.cues[2].main = onShare("c.mp4");
    }
    static QString playing(const QString& name) { return QStringLiteral("播出中 · ") + name; }

    struct Disk
    {
        // Holds back the share's answers.
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
    const QString a = QStringLiteral("暖场"), b = QStringLiteral("开场"), c = QStringLiteral("退场");
    QPointer<FakePlayer> ending;
    const QList<Sequence> sequences = {
        {"GO to A with a delay, then take C: the countdown is dropped",
         [&](Show& show) {
             standardShow(show);
             show.cues[0].delay = 0.2;
         },
         [&] {
             engine->go();
             engine->take(cue(2));
             runEvents(300);
         },
         {c, false, false, playing(c), QStringLiteral("仅监看")}},
        {"GO to A with a delay, then take C whose file is missing: the countdown goes on",
         [&](Show& show) {
             standardShow(show);
             show.cues[0].delay = 0.2;
             show.cues[2].main = QUrl::fromLocalFile(sharePath() + "/gone.mp4");
         },
         [&] {
             engine->go();
             engine->take(cue(2));
             runEvents(300);
         },
         {a, false, false, playing(a), QStringLiteral("仅监看")}},
        {"A on air with automatic GO, take C, then A ends: C stays",
         [&](Show& show) {
             standardShow(show);
             show.cues[0].ending = EndBehavior::next;
         },
         [&] {
             engine->take(cue(0));
             ending = playerOf(local("a.mp4"));
             engine->take(cue(2));
             if (ending)
                 ending->finish();
             runEvents(20);
         },
         {c, false, false, playing(c), QStringLiteral("仅监看")}},
        {"A on air with automatic GO, take C whose file is missing, then A ends: B follows A",
         [&](Show& show) {
             standardShow(show);
             show.cues[0].ending = EndBehavior::next;
             show.cues[2].main = QUrl::fromLocalFile(sharePath() + "/gone.mp4");
         },
         [&] {
             engine->take(cue(0));
             ending = playerOf(local("a.mp4"));
             engine->take(cue(2));
             ending->finish();
             runEvents(20);
         },
         {b, false, false, playing(b), QStringLiteral("仅监看")}},
        {"GO to B, then B deleted: B stays on air and GO finds the list ended",
         [&](Show& show) { standardShow(show); },
         [&] {
             engine->take(cue(0));
             engine->go();
             edit([](Show& show) { show.cues.removeAt(1); });
         },
         {b, false, false, QStringLiteral("节目单已结束"), QStringLiteral("仅监看")},
         [&] { engine->go(); }},
        {"GO to B, then pause: B is on air paused",
         [&](Show& show) { standardShow(show); },
         [&] {
             engine->take(cue(0));
             engine->go();
             engine->togglePause();
         },
         {b, true, false, QStringLiteral("已暂停"), QStringLiteral("仅监看")}},
        {"GO to B, then stop: nothing starts",
         [&](Show& show) { standardShow(show); },
         [&] {
             engine->take(cue(0));
             engine->go();
             engine->stop(true);
         },
         {QString(), false, false, QStringLiteral("媒体已停止 · 灯光保持"), QStringLiteral("仅监看")}},
        {"GO to B, then take a local C: C is on air",
         [&](Show& show) {
             standardShow(show);
             show.cues[2].main = local("c-local.mp4");
         },
         [&] {
             engine->take(cue(0));
             engine->go();
             engine->take(cue(2));
         },
         {c, false, false, playing(c), QStringLiteral("仅监看")}},
        {"GO to B, then take C whose file is missing: B is on air and C is refused",
         [&](Show& show) {
             standardShow(show);
             show.cues[2].main = QUrl::fromLocalFile(folder.filePath("gone.mp4"));
         },
         [&] {
             engine->take(cue(0));
             engine->go();
             engine->take(cue(2));
         },
         {b, false, false, QStringLiteral("素材缺失 · gone.mp4"), QStringLiteral("仅监看")}},
        {"a run of B, then take a local C: the run plays B",
         [&](Show& show) {
             standardShow(show);
             show.cues[2].main = local("c-local.mp4");
         },
         [&] {
             engine->beginProjection(ProjectionMode::cueOnce, cue(1));
             engine->take(cue(2));
         },
         {b, false, true, playing(b), QStringLiteral("仅监看")}},
    };
    for (const Sequence& sequence : sequences)
        pressTwice(sequence);

    // GO pressed again while its cue's answers are on the way takes nothing more.
    begin(true, [&](Show& show) { standardShow(show); });
    engine->take(cue(0));
    EXPECT_TRUE(engine->go());
    EXPECT_FALSE(engine->go());
    letAnswersCome();
    EXPECT_EQ(endState(), (EndState{b, false, false, playing(b), QStringLiteral("仅监看")}));
}

// Stop takes off the air what is on its way to it too: a screen's play waiting for its answers, and a GO.
TEST_F(HeldAnswers, StopAndOpenDropWhatIsOnItsWayAndAScreenPausedMeanwhileStaysPaused)
{
    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("新工程");
    writeShowFile(other, path("other.json"), JsonFormat::pretty);
    const auto playC = [&] { engine->play(cue(2), {kScreen1}); };
    const QString c = QStringLiteral("退场");
    const QList<Sequence> sequences = {
        {"a screen plays C, then stop",
         [&](Show& show) { standardShow(show); },
         [&] {
             playC();
             engine->stop(true);
         },
         {QString(), false, false, QStringLiteral("媒体已停止 · 灯光保持"), QStringLiteral("仅监看")}},
        {"a screen plays C, then the screen's own stop",
         [&](Show& show) { standardShow(show); },
         [&] {
             playC();
             engine->stopScreens({kScreen1});
         },
         {QString(), false, false, QString(), QStringLiteral("独立控制")}},
        {"a screen plays C, then returns to the programme",
         [&](Show& show) { standardShow(show); },
         [&] {
             playC();
             engine->returnScreensToProjection({kScreen1});
         },
         {QString(), false, false, QString(), QStringLiteral("仅监看")}},
        {"a screen plays C, then pauses",
         [&](Show& show) { standardShow(show); },
         [&] {
             playC();
             engine->pauseScreens({kScreen1});
         },
         {QString(), false, false, QStringLiteral("屏幕 1 · 独立播放"), QStringLiteral("独立暂停 · ") + c}},
        {"a screen plays C, then another project is opened",
         [&](Show& show) { standardShow(show); },
         [&] {
             playC();
             ASSERT_EQ(open(url("other.json")), std::nullopt);
         },
         {QString(), false, false, QStringLiteral("工程已打开"), QStringLiteral("仅监看")}},
        {"GO to B, then another project is opened",
         [&](Show& show) { standardShow(show); },
         [&] {
             engine->take(cue(0));
             engine->go();
             ASSERT_EQ(open(url("other.json")), std::nullopt);
         },
         {QString(), false, false, QStringLiteral("工程已打开"), QStringLiteral("仅监看")}},
    };
    for (const Sequence& sequence : sequences)
        pressTwice(sequence);
}

// GO's own questions go ahead of what was asked in the background, and a file the disk last called missing is asked
// again at GO, however recent that answer (even the light look at its stamp). A folder that stalls while files are
// asked keeps what the files that answered said: only the others are without an answer.
TEST_F(HeldAnswers, GoAsksAgainWhatWasMissingAndAStallKeepsTheAnswersIn)
{
    const QUrl later = QUrl::fromLocalFile(sharePath() + "/later.mp4");
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "answers held back" : "answers in at once");
        QFile::remove(later.toLocalFile());
        begin(false, [&](Show& show) {
            standardShow(show);
            show.cues[1].main = later;
        });
        ASSERT_FALSE(engine->mediaFiles().known(later, FileDepth::header)->readable);
        engine->take(cue(0));
        // The light look at its stamp has just found it missing again; then the file is copied into place.
        engine->mediaFiles().refresh({later}, FileDepth::stamp, MediaFiles::Again::fromNow);
        ASSERT_TRUE(waitUntil([&] { return !engine->mediaFiles().onTheWay(later); }));
        writeFile(later.toLocalFile(), "video");
        if (held) {
            disk->held.stall(sharePath());
            pulse.start(100);
        }
        engine->go();
        letAnswersCome();
        EXPECT_EQ(endState(), (EndState{QStringLiteral("开场"), false, false, playing(QStringLiteral("开场")),
                                        QStringLiteral("仅监看")}));
    }

    // Twelve files asked afresh, as an import asks them; six answer, then the share stops answering.
    begin(false, [](Show&) {});
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
    const bool answered = file.fileName().startsWith(QStringLiteral("quick"));
    EXPECT_EQ(engine->mediaFiles().state(file, FileDepth::readable), FileState::stalled);
    EXPECT_EQ(engine->mediaFiles().known(file, FileDepth::readable).has_value(), answered)
        << file.fileName().toStdString();
}
}

// Two hundred library files on a folder that answers each question 40 ms late, all asked in the background as the
// show opens: GO on the cue whose clip uses the last of them asks its own file ahead of the others, so that only
// the questions already begun come before it.
TEST_F(HeldAnswers, GoOnTheLastOfTwoHundredFilesOfASlowFolderAsksItsOwnFileFirst)
{
    const QString slow = folder.filePath("slow");
    QDir().mkpath(slow);
    disk->slowFolder = slow + "/";
    disk->watched = QStringLiteral("clip199.mp4");
    QList<MediaAsset> assets;
    for (int i = 0; i < 200; ++i) {
        const QString file = slow + QStringLiteral("/clip%1.mp4").arg(i);
        writeFile(file, "video");
        assets.append(asset(QUrl::fromLocalFile(file), AssetKind::video));
    }
    engine = makeEngine(true);
    edit([&](Show& show) {
        show.assets = assets;
        show.cues[0].timeline = QList<TimelineEvent>{clip(assets.last(), 0)};
    });
    ASSERT_TRUE(waitUntil([&] { return disk->slowQuestions > 0; })) << "the library is asked as the show opens";

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

#include "asidethreads.h"
#include "clipsonshare.h"
#include "cuepreview.h"
#include "enginefixture.h"
#include "heartbeat.h"
#include "mediaaskahead.h"
#include "mediafile.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "stilldecoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <atomic>

namespace {

// The default show and `cues` more whose long names make its file take many requests to read.
Show showOfLongNames(int cues, int nameLength)
{
    Show show = Show::makeDefault();
    for (int i = 0; i < cues; ++i) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场 ").arg(i) + QString(nameLength, QChar(u'长'));
        show.cues.append(cue);
    }
    return show;
}

} // namespace

// The show's folder on a real FUSE mount that stops answering, or answers late, as a network share does: the kernel
// holds every question about it until the file system answers. Skipped where FUSE or python3-fusepy is missing.
class StalledMount : public EngineTest
{
  protected:
    void SetUp() override
    {
        if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        EngineTest::SetUp();
    }

    QStringList errors(const Cue& cue) const
    {
        QStringList texts;
        for (const Engine::PlaybackIssue& issue : engine->playbackIssues({cue}, {}, false))
            texts.append(issue.text);
        return texts;
    }
    QUrl onShare(const QString& name) const { return QUrl::fromLocalFile(share.mount() + "/" + name); }
    bool says(const QString& text) const { return engine->message().contains(text); }
    // Starts the work and tells how long the main thread was held by the call.
    qint64 heldBy(const std::function<void()>& work)
    {
        QElapsedTimer held;
        held.start();
        work();
        return held.elapsed();
    }
    bool waitForTheFile()
    {
        return waitUntil([&] { return !engine->projectFiles().busy(); }, 60000);
    }

    StallableMount share{folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall")};
    Heartbeat heartbeat;
};

TEST_F(StalledMount, CheckAndGoAnswerWhileTheShareHangs)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), share.backing() + "/logo.png"));
    edit([&](Show& show) {
        show.cues[0].main = onShare("logo.png");
        show.cues[1].main = stillFile(Qt::green);
    });
    EXPECT_EQ(errors(cue(0)), QStringList{}) << "the share answers";

    share.stall();
    // The cue that plays next is asked again every two seconds: the share is found stalled before GO.
    EXPECT_TRUE(waitUntil([&] { return errors(cue(0)) == QStringList{QStringLiteral("素材无响应 · logo.png")}; }));
    QElapsedTimer clock;
    clock.start();
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("素材无响应 · logo.png")) << engine->message().toStdString();
    EXPECT_FALSE(engine->current());
    EXPECT_LT(clock.elapsed(), 1000) << "the check or GO waited on the share";

    engine->take(cue(1), false, std::nullopt);
    ASSERT_TRUE(engine->current());
    EXPECT_EQ(engine->current()->id, cue(1).id) << "local media plays on";

    share.answer();
    EXPECT_TRUE(waitUntil([&] { return errors(cue(0)).isEmpty(); }));
}

// A GO refused because its file's folder is silent stays refused, and the line that said so ends once the folder
// answers: it tells what holds now.
TEST_F(StalledMount, ARefusalForASilentFolderEndsWhenTheFolderAnswers)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), share.backing() + "/logo.png"));
    edit([&](Show& show) { show.cues[0].main = onShare("logo.png"); });
    EXPECT_EQ(errors(cue(0)), QStringList{});
    share.stall();
    EXPECT_TRUE(waitUntil([&] { return errors(cue(0)) == QStringList{QStringLiteral("素材无响应 · logo.png")}; }));
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("素材无响应 · logo.png"));
    share.answer();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("就绪"); }))
        << engine->message().toStdString();
    EXPECT_FALSE(engine->current()) << "the refused GO was carried out later";
}

// GO right after opening a show whose share has stopped answering waits for the cue's files, and once the share has
// held a request for a second it is refused, naming the file; the check sheet says the same. When the share answers
// again, the line (what holds now) and the sheet follow it at once, and the refused GO stays refused until it is
// pressed again.
TEST_F(StalledMount, AStalledShareRefusesGoAndTheLineFollowsItWhenItAnswersAgain)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), share.backing() + "/logo.png"));
    Show show = Show::makeDefault();
    show.cues[0].main = onShare("logo.png");
    writeShowFile(show, path("direct.json"), JsonFormat::pretty);
    share.stall();
    ASSERT_EQ(open(url("direct.json")), std::nullopt);
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("正在检查素材 · ") + cue(0).name) << engine->message().toStdString();
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("素材无响应 · logo.png"); }, 3000))
        << engine->message().toStdString();
    EXPECT_EQ(errors(cue(0)), QStringList{QStringLiteral("素材无响应 · logo.png")});

    share.answer();
    EXPECT_TRUE(
        waitUntil([&] { return engine->message() == QStringLiteral("就绪") && errors(cue(0)).isEmpty(); }, 2000))
        << engine->message().toStdString();
    EXPECT_FALSE(engine->current()) << "the refused GO was carried out later";
    engine->go();
    EXPECT_TRUE(waitUntil([&] { return onAir(0); })) << engine->message().toStdString();
}

// A save into a folder that stops answering waits for it with the main thread free, says so, and lands when the
// folder answers again: the show as written is the saved one. An open there waits the same way, and opens.
TEST_F(StalledMount, SaveAndOpenWaitForAFolderThatStopsAnsweringAndLandWhenItAnswers)
{
    const QUrl file = onShare("saved.json");
    rename(0, QStringLiteral("第一次"));
    ASSERT_EQ(save(file), std::nullopt);

    for (const bool editedMeanwhile : {false, true}) {
        SCOPED_TRACE(editedMeanwhile ? "edited while the save waits" : "no edit while the save waits");
        rename(0, QStringLiteral("停顿前的修改 %1").arg(editedMeanwhile));
        const Show written = engine->show();
        share.stall();
        heartbeat.restart();
        EXPECT_LT(heldBy([&] { engine->saveProject(file); }), 1000);
        EXPECT_TRUE(waitUntil([&] { return says(QStringLiteral("“saved.json”所在的文件夹没有响应")); }, 10000))
            << engine->message().toStdString();
        EXPECT_TRUE(engine->message().startsWith(QStringLiteral("正在保存… · "))) << engine->message().toStdString();
        EXPECT_TRUE(engine->projectFiles().folderSilent());
        EXPECT_FALSE(AsideThreads::waitForUnwaited(0)) << "the program's end would tear down under the save";
        EXPECT_TRUE(engine->hasUnsavedChanges());
        engine->openProject(file);
        EXPECT_EQ(engine->message(), QStringLiteral("“saved.json”正在保存，这次打开未执行"))
            << engine->message().toStdString();
        if (editedMeanwhile)
            rename(1, QStringLiteral("保存途中的修改"));

        share.answer();
        ASSERT_TRUE(waitForTheFile());
        EXPECT_TRUE(waitUntil([] { return AsideThreads::waitForUnwaited(0); }));
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
        EXPECT_EQ(engine->message(), QStringLiteral("已保存 · saved.json")) << engine->message().toStdString();
        EXPECT_EQ(engine->projectURL(), file);
        EXPECT_EQ(readShowFile(share.backing() + "/saved.json"), written);
        EXPECT_EQ(engine->hasUnsavedChanges(), editedMeanwhile) << "the saved mark is the show as written";
        EXPECT_EQ(engine->show() == written, !editedMeanwhile);
    }

    share.stall();
    heartbeat.restart();
    EXPECT_LT(heldBy([&] { engine->openProject(file); }), 1000);
    EXPECT_TRUE(waitUntil([&] { return says(QStringLiteral("正在打开… · “saved.json”所在的文件夹没有响应")); }, 10000))
        << engine->message().toStdString();
    EXPECT_TRUE(engine->hasUnsavedChanges()) << "nothing changes while the open waits";
    share.answer();
    ASSERT_TRUE(waitForTheFile());
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开")) << engine->message().toStdString();
    EXPECT_EQ(engine->show().cues[0].name, QStringLiteral("停顿前的修改 1"));
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_TRUE(engine->canRecoverProject()) << "the unsaved work was parked first";
}

// A show whose reading and decoding take longer than any deadline would allow, from a share that answers every
// request late: it opens, its progress is told on the way, the share is never called silent, and a second open
// meanwhile is refused instead of reading the file again beside the first.
TEST_F(StalledMount, ALongOpenFromASlowShareIsWorkInProgressAndOpens)
{
    const Show large = showOfLongNames(3000, 2000);
    writeShowFile(large, share.backing() + "/big.json", JsonFormat::pretty);
    share.delay(0.04);

    QList<double> progress;
    QObject::connect(&engine->projectFiles(), &ProjectFileWork::changed, [&] {
        if (const std::optional<double> done = engine->projectFiles().progress())
            progress.append(*done);
    });
    QStringList messages;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { messages.append(engine->message()); });
    QElapsedTimer took;
    took.start();
    heartbeat.restart();
    EXPECT_LT(heldBy([&] { engine->openProject(onShare("big.json")); }), 1000);
    EXPECT_TRUE(waitUntil([&] { return !progress.isEmpty() && progress.last() > 0; }));
    engine->openProject(onShare("big.json"));
    EXPECT_EQ(engine->message(), QStringLiteral("“big.json”正在打开，这次打开未执行"))
        << engine->message().toStdString();
    qint64 longestWhileBusy = 0;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (engine->projectFiles().busy())
                longestWhileBusy = heartbeat.longestGapMs();
            return !engine->projectFiles().busy();
        },
        60000));
    EXPECT_GT(took.elapsed(), 2000) << "the share was not slow enough to show anything";
    EXPECT_LT(longestWhileBusy, 1000) << "the main thread waited on the read";
    EXPECT_EQ(engine->show(), large);
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开")) << engine->message().toStdString();
    EXPECT_EQ(messages.count(QStringLiteral("工程已打开")), 1);
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](double done) { return done > 0 && done < 1; }))
        << "no progress between start and end";
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    for (const QString& message : std::as_const(messages))
        EXPECT_FALSE(message.contains(QStringLiteral("没有响应"))) << message.toStdString();
}

// Forty clips of one cue on a share that answers every request a few milliseconds late, as a busy network share does:
// the share answers, so its files are readable. The first GO after opening plays once their answers are in, with
// the main thread free meanwhile, and a relink into the share finds every file at once.
TEST_F(StalledMount, FortyClipsOnAShareThatAnswersLateArePlayedAndRelinkedWhole)
{
    writeShowFile(showOfClipsOnShare(share, 40), path("slow.json"), JsonFormat::pretty);

    for (const double late : {0.001, 0.003}) {
        SCOPED_TRACE(late);
        engine = makeEngine(true);
        share.delay(late);
        ASSERT_EQ(open(url("slow.json")), std::nullopt);
        heartbeat.restart();
        engine->go();
        EXPECT_TRUE(waitUntil([&] { return onAir(0); }, 30000)) << engine->message().toStdString();
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
        EXPECT_TRUE(engine->playbackIssues({cue(0)}, *engine->show().assets, false).isEmpty());
        engine->stop(true);
    }

    // The same clips, moved there from a folder that is gone.
    edit([&](Show& moved) {
        for (MediaAsset& asset : *moved.assets)
            asset.url = url("gone/" + asset.url.fileName());
    });
    engine->relinkMissingAssets(QUrl::fromLocalFile(share.mount()));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已重新定位 40 项素材引用"); }, 30000))
        << engine->message().toStdString();
    EXPECT_EQ(engine->show().assets->last().url, onShare("clip39.mp4"));
}

// A share that answers every request late, by a fixed time or by one drawn at random, as a busy network share does: a
// file's question costs it several requests, so whole answers come seconds apart, yet every request is answered.
struct Lateness
{
    double least;
    double most;
};

class SlowShare : public StalledMount, public ::testing::WithParamInterface<Lateness>
{
  protected:
    void SetUp() override
    {
        StalledMount::SetUp();
        if (!IsSkipped())
            share.delay(GetParam().least, GetParam().most);
    }
    void TearDown() override
    {
        share.delay(0);
        StalledMount::TearDown();
    }
    void hear()
    {
        QObject::connect(engine.get(), &Engine::messageChanged, [&] { messages.append(engine->message()); });
    }
    void expectNeverSaid(const QString& text)
    {
        for (const QString& message : std::as_const(messages))
            EXPECT_FALSE(message.contains(text)) << message.toStdString();
    }
    // GO right after the show opens: it says that it waits for the cue's files, and puts the cue on air once their
    // answers are in, the share never called silent.
    void goRightAfterOpening(const QString& show)
    {
        ASSERT_EQ(open(url(show)), std::nullopt);
        hear();
        heartbeat.restart();
        engine->go();
        EXPECT_TRUE(waitUntil([&] { return onAir(0); }, 60000)) << engine->message().toStdString();
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
        EXPECT_TRUE(messages.contains(QStringLiteral("正在检查素材 · ") + cue(0).name)) << "GO did not wait";
        expectNeverSaid(QStringLiteral("无响应"));
        EXPECT_TRUE(
            engine->playbackIssues({cue(0)}, engine->show().assets.value_or(QList<MediaAsset>{}), false).isEmpty());
    }

    QStringList messages;
};

void PrintTo(const Lateness& late, std::ostream* out)
{
    *out << late.least << "–" << late.most << " s";
}

INSTANTIATE_TEST_SUITE_P(Lateness, SlowShare,
                         ::testing::Values(Lateness{0.02, 0.02}, Lateness{0.05, 0.05}, Lateness{0.05, 0.3}),
                         [](const ::testing::TestParamInfo<Lateness>& late) {
                             return QStringLiteral("%1to%2ms")
                                 .arg(qRound(late.param.least * 1000))
                                 .arg(qRound(late.param.most * 1000))
                                 .toStdString();
                         });

TEST_P(SlowShare, GoRightAfterOpeningPlaysFortyClipsOfATimelineCue)
{
    writeShowFile(showOfClipsOnShare(share, 40), path("timeline.json"), JsonFormat::pretty);
    goRightAfterOpening("timeline.json");
}

// A direct cue plays the same way, and a relink of its files into the share finds them.
TEST_P(SlowShare, GoRightAfterOpeningPlaysADirectCueAndARelinkFindsItsFiles)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), share.backing() + "/logo.png"));
    ASSERT_TRUE(QFile::copy(MediaFixtures::video({.seconds = 1}), share.backing() + "/film.mp4"));
    Show show = Show::makeDefault();
    show.cues[0].main = onShare("logo.png");
    show.cues[0].audio = onShare("film.mp4");
    writeShowFile(show, path("direct.json"), JsonFormat::pretty);
    goRightAfterOpening("direct.json");

    engine->stop(true);
    edit([&](Show& moved) {
        moved.cues[0].main = url("gone/logo.png");
        moved.cues[0].audio = url("gone/film.mp4");
    });
    engine->relinkMissingAssets(QUrl::fromLocalFile(share.mount()));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已重新定位 2 项素材引用"); }, 30000))
        << engine->message().toStdString();
    EXPECT_EQ(cue(0).audio, onShare("film.mp4"));
    expectNeverSaid(QStringLiteral("无响应"));
}

// A large default picture there is looked at once: the look finds it too large to read at once, and its decode on a
// worker brings it to the screens.
TEST_P(SlowShare, ALargeDefaultPictureIsLookedAtOnceAndArrives)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({4000, 3000}, Qt::blue), share.backing() + "/large.png"));
    auto looks = std::make_shared<std::atomic<int>>(0);
    StillDecoder::shared().setBeforeLook([looks, path = onShare("large.png").toLocalFile()](const QString& looked) {
        if (looked == path)
            ++*looks;
    });
    const auto cleared = qScopeGuard([] { StillDecoder::shared().setBeforeLook({}); });
    awaitAnswerAbout(onShare("large.png"));
    engine->setDefaultPicture(onShare("large.png"));
    EXPECT_TRUE(waitUntil([&] { return engine->program(kScreen1)->fallback().has_value(); }, 60000))
        << engine->message().toStdString();
    EXPECT_EQ(engine->program(kScreen1)->fallback()->size(), QSize(4000, 3000));
    EXPECT_EQ(looks->load(), 1);
    EXPECT_EQ(engine->message().toStdString(), "默认画面 · large.png");
}

// A save and an open there show their progress and end, and the folder is never said to give no answer.
TEST_P(SlowShare, ASaveAndAnOpenShowProgressAndAreNeverCalledSilent)
{
    edit([&](Show& show) {
        for (int i = 0; i < 110; ++i) {
            Cue cue;
            cue.name = QStringLiteral("第 %1 场 ").arg(i) + QString(3000, QChar(u'长'));
            show.cues.append(cue);
        }
    });
    const Show written = engine->show();
    hear();
    QList<double> progress;
    QObject::connect(&engine->projectFiles(), &ProjectFileWork::changed, [&] {
        if (const std::optional<double> done = engine->projectFiles().progress())
            progress.append(*done);
    });
    EXPECT_EQ(save(onShare("slow.json")), std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("已保存 · slow.json")) << engine->message().toStdString();
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](double done) { return done > 0 && done < 1; }))
        << "the save showed no progress";
    progress.clear();
    EXPECT_EQ(open(onShare("slow.json")), std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开")) << engine->message().toStdString();
    EXPECT_EQ(engine->show(), written);
    EXPECT_TRUE(std::any_of(progress.begin(), progress.end(), [](double done) { return done > 0; }))
        << "the open showed no progress";
    expectNeverSaid(QStringLiteral("没有响应"));
}

// A share far slower still, up to a second a request: every call on it takes seconds and calls started together end
// together, yet it answers. GO, take and a run wait for its answers and are never refused as silent, the check sheet
// never names a file silent, and an open from it is never said to wait on a folder that gives no answer. Once it
// stops answering, it is still found silent, within a few times its own calls.
class SlowPace : public SlowShare
{
  protected:
    void SetUp() override
    {
        SlowShare::SetUp();
        if (IsSkipped())
            return;
        Show show = showOfClipsOnShare(share, 3);
        // A second cue shows one of those clips on its own.
        Cue again;
        again.name = QStringLiteral("再一次");
        again.timeline = QList<TimelineEvent>{show.cues[0].timeline->last()};
        show.cues.insert(1, again);
        writeShowFile(show, path("slow.json"), JsonFormat::pretty);
    }
    // Whether the check sheet, over the whole show, names any file silent now.
    bool sheetNamesASilentFile() const
    {
        const QList<Engine::PlaybackIssue> issues =
            engine->playbackIssues(engine->show().cues, engine->show().assets.value_or(QList<MediaAsset>{}), true);
        return std::any_of(issues.cbegin(), issues.cend(), [](const Engine::PlaybackIssue& issue) {
            return issue.text.contains(QStringLiteral("无响应"));
        });
    }
    // Waits for the cue on air, looking at the check sheet on the way.
    bool waitForAir(int index, bool& sheetSaidSilent)
    {
        return waitUntil(
            [&] {
                sheetSaidSilent = sheetSaidSilent || sheetNamesASilentFile();
                return onAir(index);
            },
            60000);
    }
};

INSTANTIATE_TEST_SUITE_P(Lateness, SlowPace,
                         ::testing::Values(Lateness{0.3, 0.3}, Lateness{0.6, 0.6}, Lateness{1, 1}, Lateness{0.05, 0.3}),
                         [](const ::testing::TestParamInfo<Lateness>& late) {
                             return QStringLiteral("%1to%2ms")
                                 .arg(qRound(late.param.least * 1000))
                                 .arg(qRound(late.param.most * 1000))
                                 .toStdString();
                         });

TEST_P(SlowPace, GoTakeAndARunWaitForTheShareAndAreNeverRefusedAsSilent)
{
    ASSERT_EQ(open(url("slow.json")), std::nullopt);
    hear();
    bool sheetSaidSilent = false;
    engine->go();
    EXPECT_TRUE(waitForAir(0, sheetSaidSilent)) << engine->message().toStdString();
    engine->stop(true);
    engine->take(cue(1), false, std::nullopt);
    EXPECT_TRUE(waitForAir(1, sheetSaidSilent)) << engine->message().toStdString();
    engine->stop(true);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueOnce, cue(0)));
    EXPECT_TRUE(waitForAir(0, sheetSaidSilent)) << engine->message().toStdString();
    EXPECT_TRUE(engine->projectionMode());
    engine->stop(true);
    expectNeverSaid(QStringLiteral("无响应"));
    EXPECT_FALSE(sheetSaidSilent);
}

TEST_P(SlowPace, AnOpenFromTheShareIsNeverSaidToWaitOnASilentFolder)
{
    const Show show = showOfLongNames(20, 300);
    writeShowFile(show, share.backing() + "/slow.json", JsonFormat::pretty);
    hear();
    EXPECT_EQ(open(onShare("slow.json")), std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开")) << engine->message().toStdString();
    expectNeverSaid(QStringLiteral("没有响应"));
}

TEST_P(SlowPace, OnceItStopsAnsweringItIsStillFoundSilent)
{
    ASSERT_EQ(open(url("slow.json")), std::nullopt);
    engine->go();
    ASSERT_TRUE(waitUntil([&] { return onAir(0); }, 60000)) << engine->message().toStdString();
    engine->stop(true);
    share.stall();
    // The cue that plays next is asked again once its answers have aged, and found silent before GO.
    const auto findings = [&] {
        QStringList texts;
        for (const Engine::PlaybackIssue& issue : engine->playbackIssues({cue(0)}, *engine->show().assets, false))
            texts.append(issue.text);
        return texts;
    };
    // The share holds a request for at most 20 s from its last stall: it is told to stall afresh on the way.
    QElapsedTimer sinceStall;
    sinceStall.start();
    EXPECT_TRUE(waitUntil(
        [&] {
            if (sinceStall.elapsed() > 5000) {
                share.stall();
                sinceStall.restart();
            }
            return findings().contains(QStringLiteral("素材无响应 · clip0.mp4"));
        },
        30000))
        << findings().join(' ').toStdString();
    engine->go();
    EXPECT_EQ(engine->message(), QStringLiteral("素材无响应 · clip0.mp4")) << engine->message().toStdString();
    EXPECT_FALSE(engine->current());
}

// The next cue's files are asked again only once their answers have aged, never faster than the share answers them:
// on a share whose round over them takes three times the two seconds between looks, its questions still come to rest.
TEST_F(StalledMount, TheNextCuesQuestionsOnASlowShareComeToRest)
{
    QList<QUrl> files;
    for (int i = 0; i < 12; ++i) {
        const QString name = QStringLiteral("still%1.png").arg(i);
        ASSERT_TRUE(QFile::copy(MediaFixtures::png(), share.backing() + "/" + name));
        files.append(onShare(name));
    }
    MediaFiles disk(
        std::make_shared<FileQuestions>([](const QUrl& url) { return isReadableFileAt(url.toLocalFile()); }));
    MediaAskAhead ahead(
        disk, [] { return QList<QUrl>{}; }, [&] { return files; });
    ASSERT_TRUE(
        waitUntil([&] { return disk.questionsOnTheWay() == 0 && disk.known(files.last(), FileDepth::header); }));
    share.delay(1);
    EXPECT_TRUE(waitUntil([&] { return disk.questionsOnTheWay() > 0; }, 5000)) << "the files were not asked again";
    EXPECT_TRUE(waitUntil([&] { return disk.questionsOnTheWay() == 0; }, 20000)) << "the share is asked without rest";
    share.delay(0);
}

// What the operator does while a recover or an open reads from a share, pressed the same way once with the share's
// answers held back and once with them in at once, ends the same: a run asked meanwhile is refused and says why (the
// show on its way stops playback when it lands), and edits made meanwhile are parked where the operator can take
// them back, never lost.
TEST_F(StalledMount, ARunAndEditsWhileAShowIsOnItsWayEndTheSameWhetherTheShareAnswersLateOrAtOnce)
{
    Show parkedWork = Show::makeDefault();
    parkedWork.cues[0].name = QStringLiteral("停电前的工作");
    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("另一场演出");
    writeShowFile(other, share.backing() + "/other.json", JsonFormat::pretty);
    Cue local = cue(1);
    local.main = stillFile(Qt::green);
    // The show, the work parked on disk (cues told by name: each pass makes its own), unsaved, on offer, whether a
    // run went on air, the status line.
    using EndState = std::tuple<QStringList, QStringList, bool, bool, bool, QString>;
    const auto names = [](const Show& show) {
        QStringList listed;
        for (const Cue& cue : show.cues)
            listed.append(cue.name);
        return listed;
    };
    const QStringList edited{"暖场", "开场", "退场", "恢复途中加的一", "恢复途中加的二"};
    const QList<EndState> expected{
        {names(parkedWork), edited, true, true, false, "已恢复未保存工程 · 原先未保存的修改已另存，可再次恢复"},
        {names(other), QStringList{"打开途中的修改"} + edited.mid(1), false, true, false, "工程已打开"}};

    for (const bool late : {true, false}) {
        SCOPED_TRACE(late ? "the share's answers held back" : "the share's answers in at once");
        const QString recovery = late ? QStringLiteral("/late") : QStringLiteral("/at-once");
        writeShowFile(parkedWork, share.backing() + recovery + "/Parked.json", JsonFormat::compact);
        engine = makeEngine(true, share.mount() + recovery);
        awaitAnswerAbout(*local.main);
        bool ranMeanwhile = false;
        QObject::connect(engine.get(), &Engine::projectionModeChanged, [&] { ranMeanwhile = true; });
        QList<EndState> ends;
        const auto landed = [&] {
            share.answer();
            EXPECT_TRUE(waitForTheFile());
            ends.append({names(engine->show()), names(readShowFile(share.backing() + recovery + "/Parked.json")),
                         engine->hasUnsavedChanges(), engine->canRecoverProject(), ranMeanwhile, engine->message()});
        };
        const auto onItsWay = [&](const QString& working) {
            if (late)
                EXPECT_TRUE(waitUntil([&] { return says(working + QStringLiteral("所在的文件夹没有响应")); }, 10000));
            EXPECT_FALSE(engine->beginProjection(ProjectionMode::cueOnce, local));
        };
        heartbeat.restart();

        if (late)
            share.stall();
        engine->recoverUnsavedProject();
        onItsWay(QStringLiteral("正在恢复… · “Parked.json”"));
        EXPECT_EQ(engine->message(), QStringLiteral("“Parked.json”正在恢复，这次投放未执行"));
        edit([&](Show& show) {
            show.cues.append(Cue{.name = QStringLiteral("恢复途中加的一")});
            show.cues.append(Cue{.name = QStringLiteral("恢复途中加的二")});
        });
        landed();
        // Taken back as the console does it, the recovered work saved first.
        ASSERT_EQ(save(url(QStringLiteral("recovered.json"))), std::nullopt);
        ASSERT_EQ(recover(), std::nullopt);

        if (late)
            share.stall();
        engine->openProject(onShare("other.json"));
        onItsWay(QStringLiteral("正在打开… · “other.json”"));
        EXPECT_EQ(engine->message(), QStringLiteral("“other.json”正在打开，这次投放未执行"));
        rename(0, QStringLiteral("打开途中的修改"));
        landed();
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
        EXPECT_TRUE(ends == expected) << "the share's timing changed where the show ended";
        engine.reset();
    }
}

// A share renames without replacing through none of the ways a local disk has: earlier parked work moves aside there
// all the same.
TEST_F(StalledMount, EarlierParkedWorkInARecoveryFolderOnAShareMovesAsideThere)
{
    Show earlier = Show::makeDefault();
    earlier.cues[0].name = QStringLiteral("共享上搁置的工作");
    writeShowFile(earlier, share.backing() + "/recovery/Parked.json", JsonFormat::compact);
    writeShowFile(Show::makeDefault(), path(QStringLiteral("next.json")), JsonFormat::pretty);
    engine = makeEngine(true, share.mount() + "/recovery");
    rename(0, QStringLiteral("新的修改"));
    const Show unsaved = engine->show();
    ASSERT_EQ(open(url(QStringLiteral("next.json"))), std::nullopt);
    const QStringList asides = QDir(share.backing() + "/recovery").entryList({QStringLiteral("Parked-*.json")});
    ASSERT_EQ(asides.size(), 1) << asides.join(' ').toStdString();
    EXPECT_EQ(readShowFile(share.backing() + "/recovery/" + asides[0]), earlier);
    EXPECT_EQ(readShowFile(share.backing() + "/recovery/Parked.json"), unsaved);
    EXPECT_EQ(engine->message(),
              QStringLiteral("工程已打开 · 较早未恢复的工程已移到 ") + share.mount() + "/recovery/" + asides[0]);
}

// An open, a save and a recover waiting on a folder that stopped answering are given up: the show, its saved mark and
// the files stay as they were, and the outcome of the job the folder still holds lands nowhere when it comes. A save
// that has begun to put its file in place of the old one finishes.
TEST_F(StalledMount, WorkWaitingOnASilentFolderIsGivenUpAndLeavesTheShowAndItsFilesAsTheyWere)
{
    Show parkedWork = Show::makeDefault();
    parkedWork.cues[0].name = QStringLiteral("搁置的工作");
    writeShowFile(parkedWork, share.backing() + "/recovery/Parked.json", JsonFormat::compact);
    engine = makeEngine(true, share.mount() + "/recovery");
    const QUrl file = onShare("show.json");
    ASSERT_EQ(save(file), std::nullopt);
    const Show saved = engine->show();
    const auto state = [&] {
        return std::tuple(engine->show(), engine->hasUnsavedChanges(), engine->projectURL(),
                          engine->canRecoverProject(), engine->message());
    };
    const QList<std::pair<std::function<void()>, QString>> works{
        {[&] { engine->openProject(file); }, QStringLiteral("已取消打开 · show.json")},
        {[&] { engine->saveProject(file); }, QStringLiteral("已取消保存 · show.json · 原文件未改动")},
        {[&] { engine->recoverUnsavedProject(); }, QStringLiteral("已取消恢复 · Parked.json")}};
    for (const auto& [start, givenUp] : works) {
        SCOPED_TRACE(givenUp.toStdString());
        rename(0, QStringLiteral("没有保存的修改 · ") + givenUp);
        share.stall();
        heartbeat.restart();
        start();
        EXPECT_TRUE(waitUntil([&] { return says(QStringLiteral("所在的文件夹没有响应")); }, 10000));
        EXPECT_TRUE(engine->projectFiles().canGiveUp());
        engine->cancelProjectFileWork();
        EXPECT_FALSE(engine->projectFiles().busy());
        EXPECT_EQ(engine->message(), givenUp) << engine->message().toStdString();
        const auto before = state();
        share.answer();
        EXPECT_TRUE(waitUntil([&] { return engine->projectFiles().givenUpOnTheWay() == 0; }, 30000));
        EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
        EXPECT_TRUE(state() == before) << "the given-up outcome landed";
        EXPECT_TRUE(engine->hasUnsavedChanges());
        EXPECT_EQ(readShowFile(share.backing() + "/show.json"), saved);
        EXPECT_EQ(readShowFile(share.backing() + "/recovery/Parked.json"), parkedWork);
        EXPECT_EQ(QDir(share.backing()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden), QStringList{});
    }

    // Held while its new file takes the old one's place, a save is past giving up, and says so.
    share.stallOnly({"rename"});
    engine->saveProject(file);
    EXPECT_TRUE(waitUntil([&] { return engine->projectFiles().busy() && !engine->projectFiles().canGiveUp(); }));
    engine->cancelProjectFileWork();
    EXPECT_EQ(engine->message(), QStringLiteral("“show.json”已开始替换原文件，无法取消"));
    share.answer();
    ASSERT_TRUE(waitForTheFile());
    EXPECT_EQ(engine->message(), QStringLiteral("已保存 · show.json"));
    engine.reset();
}

// An open whose folder stops answering while it is listed for what killed saves left beside the file, after the
// file was read: the status line names the silent folder as for the read, and the show opens once it answers.
TEST_F(StalledMount, AnOpenWaitingOnTheListingOfItsFolderNamesTheSilentFolderAndOpens)
{
    Show listed = Show::makeDefault();
    listed.cues[0].name = QStringLiteral("列出文件夹之后");
    writeShowFile(listed, share.backing() + "/listed.json", JsonFormat::pretty);
    share.stallOnly({"opendir", "readdir"});
    heartbeat.restart();
    engine->openProject(onShare("listed.json"));
    EXPECT_TRUE(waitUntil([&] { return says(QStringLiteral("正在打开… · “listed.json”所在的文件夹没有响应")); }, 10000))
        << engine->message().toStdString();
    share.answer();
    ASSERT_TRUE(waitForTheFile());
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the share";
    EXPECT_EQ(engine->message(), QStringLiteral("工程已打开"));
    EXPECT_EQ(engine->show(), listed);
}

// The engine on real players and the real clock, its media on the share.
class StalledMountPlayback : public StalledMount
{
  protected:
    void SetUp() override
    {
        StalledMount::SetUp();
        if (IsSkipped())
            return;
        Engine::Services services;
        services.displays = displays;
        engine = std::make_unique<Engine>(true, nullptr, folder.path(), services);
    }
    // The file shown in front of a screen, empty while none is.
    QString shownFile(const ScreenRole& role = kScreen1) const
    {
        const Picture* front = engine->program(role)->foreground();
        return front && front->url() ? front->url()->fileName() : QString();
    }
    // How far into its media the newest frame in front of a screen lies.
    double shownFrameTime(const ScreenRole& role) const
    {
        const Picture* front = engine->program(role)->foreground();
        const std::optional<VideoFrame> frame = front ? front->player()->currentFrame() : std::nullopt;
        return frame ? frame->time() : 0;
    }
};

// A timeline of one-second clips on the share, which stops answering for a few seconds while it plays, with clips
// from a local folder on the second screen meanwhile. The show's thread goes on beating all the while; a clip that
// comes due while its folder is silent is named; the local clips play; once the share answers, the clips that
// follow play in their own second.
TEST_F(StalledMountPlayback, AStalledShareMidTimelineHoldsNeitherTheShowsThreadNorTheClipsAfterIt)
{
    constexpr int kClips = 16;
    ClipsOnShare clips = clipsOnShare(share, kClips);
    for (int i = 0; i < kClips; ++i)
        clips.events[i].time = i;
    const MediaAsset local =
        asset(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 1, .pattern = "red"})), AssetKind::video);
    // The second is made and started while the share is silent.
    const QList<TimelineEvent> localClips{clip(local, 4, Track::side), clip(local, 5, Track::side)};
    edit([&](Show& show) {
        show.assets = clips.assets + QList<MediaAsset>{local};
        show.cues[0].timeline = clips.events + localClips;
    });
    QStringList lines;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { lines.append(engine->message()); });
    engine->take(cue(0));
    ASSERT_TRUE(waitUntil([&] { return shownFile() == "clip2.mp4"; }, 30000)) << shownFile().toStdString();

    share.stall();
    heartbeat.restart();
    QElapsedTimer stalled;
    stalled.start();
    // The second local clip is another picture than the first, prepared and started while the share is silent.
    const Picture* firstLocal = nullptr;
    bool localPlayed = false;
    QString named;
    // The share stays silent for four seconds, whatever the show's thread does meanwhile.
    waitUntil(
        [&] {
            const Picture* local = engine->program(kScreen2)->foreground();
            const double at = engine->timelinePosition();
            if (at > 4.2 && at < 4.9)
                firstLocal = local;
            localPlayed = localPlayed || (at > 5 && local != firstLocal && shownFrameTime(kScreen2) > 0.2);
            if (engine->message().startsWith(QStringLiteral("素材无响应 · clip")))
                named = engine->message();
            return stalled.elapsed() >= 4000;
        },
        20000);
    const double answeredAt = engine->timelinePosition();
    share.answer();
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the show's thread waited on the share";
    EXPECT_FALSE(named.isEmpty()) << "no clip was named: " << lines.join(" | ").toStdString();
    EXPECT_TRUE(localPlayed) << "the local clips waited for the share";

    // A clip due two seconds after the share answered has had its time to prepare: it plays in its own second.
    const int later = int(std::ceil(answeredAt)) + 2;
    ASSERT_LT(later, kClips);
    const QString laterFile = QStringLiteral("clip%1.mp4").arg(later);
    ASSERT_TRUE(waitUntil([&] { return shownFile() == laterFile; }, 30000))
        << shownFile().toStdString() << " at " << engine->timelinePosition();
    EXPECT_LT(engine->timelinePosition(), later + 1) << "it went up after its second";
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the show's thread waited on the share";
    // The clips named silent have loaded or ended by now: the line tells what is on air.
    EXPECT_EQ(engine->message(), QStringLiteral("时间轴播出 · ") + cue(0).name) << lines.join(" | ").toStdString();
}

// A cue whose file answered just before its folder stopped answering, started at once: it is named within about a
// second, and waits (for longer than a load is given) rather than fail; it goes on air once the share answers.
TEST_F(StalledMountPlayback, ACueWhoseShareStopsAnsweringAsItStartsIsNamedAndPlaysOnceItAnswers)
{
    ASSERT_TRUE(QFile::copy(MediaFixtures::video({.seconds = 3, .pattern = "blue"}), share.backing() + "/blue.mp4"));
    const QUrl before = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 20, .pattern = "red"}));
    edit([&](Show& show) {
        show.cues[0].main = before;
        show.cues[2].name = QStringLiteral("共享蓝");
        show.cues[2].main = onShare("blue.mp4");
    });
    engine->take(cue(0));
    ASSERT_TRUE(waitUntil([&] { return shownFrameTime(kScreen1) > 0.2; }, 20000));
    awaitAnswerAbout(onShare("blue.mp4"));

    share.stall();
    heartbeat.restart();
    engine->take(cue(2));
    ASSERT_TRUE(onAir(2)) << engine->message().toStdString();
    EXPECT_TRUE(waitUntil([&] { return says(QStringLiteral("素材无响应 · 共享蓝")); }, 5000))
        << engine->message().toStdString();
    // Longer than a load is given while its folder answers.
    QElapsedTimer silent;
    silent.start();
    QStringList lines;
    QObject::connect(engine.get(), &Engine::messageChanged, [&] { lines.append(engine->message()); });
    EXPECT_FALSE(waitUntil([&] { return silent.elapsed() > 9000 || !lines.isEmpty(); }, 20000) && !lines.isEmpty())
        << lines.join(" | ").toStdString();
    share.answer();
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the show's thread waited on the share";

    EXPECT_TRUE(waitUntil([&] { return shownFile() == "blue.mp4" && shownFrameTime(kScreen1) > 0.3; }, 20000))
        << shownFile().toStdString() << " " << engine->message().toStdString();
    EXPECT_EQ(engine->message(), QStringLiteral("播出中 · 共享蓝"));
}

// A still grabbed for the show before an open never lands on the opened show's preview, even when the same file is
// opened again and its cues keep their ids: held on the share until after the open, or in before it, the opened
// show's preview is empty.
TEST_F(StalledMount, AStillGrabbedBeforeAnOpenNeverLandsOnTheOpenedShow)
{
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "the still's reads held back" : "the still in before the open");
        // A file of its own each time: what was read before is kept by the kernel and never asked again.
        const QString name = held ? QStringLiteral("held.mp4") : QStringLiteral("quick.mp4");
        ASSERT_TRUE(QFile::copy(MediaFixtures::indexedVideo(90), share.backing() + "/" + name));
        const MediaAsset film = addAsset(onShare(name), AssetKind::video, 3);
        setTimeline(0, {clip(film, 0)});
        ASSERT_EQ(save(url("show.json")), std::nullopt);
        QSignalSpy previewed(engine.get(), &Engine::timelinePreviewed);
        if (held)
            share.stallOnly({"read"});
        engine->previewTimeline(cue(0), 1.5);
        if (held)
            ASSERT_TRUE(waitUntil([&] { return share.heldRequests().join('\n').contains(name); }))
                << share.heldRequests().join('\n').toStdString();
        else
            ASSERT_TRUE(previewed.wait(10000));
        ASSERT_EQ(open(url("show.json")), std::nullopt);
        share.answer();
        ASSERT_TRUE(waitUntil([&] { return !engine->cuePreview().grabbing(); }));
        // The grab's outcome was posted before its thread let go.
        QCoreApplication::processEvents();
        EXPECT_FALSE(engine->preview(kScreen1)->image());
        EXPECT_EQ(previewed.count(), held ? 0 : 1);
    }
}

// The opened show's default picture lies on a share silent at the open for one to three seconds. Meanwhile no screen
// shows the picture of the show before, and the line tells of the wait, naming the silent folder once it counts as
// silent; once the share answers, the picture comes to every screen and the line is the open's own again.
TEST_F(StalledMount, TheOpenedShowsPictureOnASilentShareArrivesOnceItAnswersAndNoneOfTheShowBeforeMeanwhile)
{
    Show before = Show::makeDefault();
    before.defaultPicture = stillFile(Qt::green);
    writeShowFile(before, path("before.json"), JsonFormat::pretty);
    const auto fallbacks = [&] {
        QStringList colors;
        for (const ScreenRole& role : engine->show().screens()) {
            const std::optional<QImage> fallback = engine->program(role)->fallback();
            colors << (fallback ? fallback->pixelColor(0, 0).name() : QStringLiteral("无"));
        }
        return colors.join(' ');
    };
    for (const int silence : {1200, 2000, 3000}) {
        SCOPED_TRACE(silence);
        // A picture of its own each time: what was read before is kept by the kernel.
        const QString name = QStringLiteral("blue%1.png").arg(silence);
        ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::blue), share.backing() + "/" + name));
        Show opened = Show::makeDefault();
        opened.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
        opened.defaultPicture = onShare(name);
        writeShowFile(opened, path("opened.json"), JsonFormat::pretty);
        ASSERT_EQ(open(url("before.json")), std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return fallbacks() == QStringLiteral("#00ff00"); }));

        share.stall();
        ASSERT_EQ(open(url("opened.json")), std::nullopt);
        QElapsedTimer silent;
        silent.start();
        QSet<QString> shown;
        QSet<QString> lines;
        waitUntil(
            [&] {
                shown << fallbacks();
                lines << engine->message();
                return silent.elapsed() >= silence;
            },
            silence + 1000);
        const auto listed = [](const QSet<QString>& set) { return QStringList(set.cbegin(), set.cend()).join(" | "); };
        EXPECT_EQ(listed(shown).toStdString(), "无 无");
        const QString reading = QStringLiteral("工程已打开 · 正在读取默认画面…");
        const QString waiting = QStringLiteral("工程已打开 · 默认画面“%1”所在的文件夹没有响应，仍在等待").arg(name);
        EXPECT_TRUE(lines.contains(reading)) << listed(lines).toStdString();
        lines -= QSet<QString>{reading, waiting};
        EXPECT_EQ(listed(lines).toStdString(), "");
        if (silence >= 2000) {
            EXPECT_EQ(engine->message().toStdString(), waiting.toStdString());
        }

        share.answer();
        EXPECT_TRUE(waitUntil([&] { return fallbacks() == QStringLiteral("#0000ff #0000ff"); }))
            << fallbacks().toStdString();
        EXPECT_EQ(engine->message().toStdString(), "工程已打开");
    }
}

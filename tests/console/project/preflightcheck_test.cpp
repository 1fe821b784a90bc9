#include "clipsonshare.h"
#include "consolefixture.h"
#include "consolesheet.h"
#include "consolestate.h"
#include "findingrowdelegate.h"
#include "mediafixtures.h"
#include "preflightcheck.h"
#include "sectionfixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>

class PreflightTest : public SectionTest
{
  protected:
    PreflightTest()
    {
        edit([](Show& show) {
            show.outputScreens = QList<ScreenRole>{ScreenRole{"屏幕 1"}, ScreenRole{"屏幕 2"}, ScreenRole{"屏幕 3"}};
        });
    }

    // A reminder: a picture on a screen with no display; an error: a file that is not there.
    void giveReminder(int cue)
    {
        edit([&](Show& show) { show.cues[cue].main = QUrl::fromLocalFile(MediaFixtures::png()); });
    }
    void giveError(int cue)
    {
        edit([&](Show& show) { show.cues[cue].audio = QUrl::fromLocalFile(MediaFixtures::missing()); });
    }
    // A timeline clip on the third screen whose media is missing.
    QUuid giveEventError(int cue)
    {
        TimelineEvent clip;
        clip.time = 0;
        clip.track = Track::main;
        clip.outputScreen = ScreenRole{"屏幕 3"};
        clip.assetID = QUuid::createUuid();
        edit([&](Show& show) { show.cues[cue].timeline = QList<TimelineEvent>{clip}; });
        return clip.id;
    }

    PreflightCheck* open(bool launchAfterCheck)
    {
        state->setLaunchAfterCheck(launchAfterCheck);
        state->setPreflightOpen(true);
        check = std::make_unique<PreflightCheck>(*state, windowOpener());
        return check.get();
    }
    QString counts() { return check->findChild<QLabel*>("counts")->text(); }
    QPushButton* startButton() { return check->findChild<QPushButton*>("startRun"); }
    QListView* rows() { return check->findChild<QListView*>("findings"); }
    int rowCount() { return rows()->model()->rowCount(); }
    static QStringList rowTexts(PreflightCheck& sheet)
    {
        const QAbstractItemModel* model = sheet.findChild<QListView*>("findings")->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row)
            texts << model->index(row, 0).data().toString() + " · " +
                         model->index(row, 0).data(FindingRowDelegate::CueNameRole).toString();
        return texts;
    }
    bool showsPlaceholder() { return check->findChild<QStackedWidget*>()->currentIndex() == 0; }
    void clickRow(int row)
    {
        check->resize(590, 400);
        check->show();
        QTest::mouseClick(rows()->viewport(), Qt::LeftButton, {},
                          rows()->visualRect(rows()->model()->index(row, 0)).center());
    }

    std::unique_ptr<PreflightCheck> check;
};

TEST_F(PreflightTest, CountsAndTheStartButtonFollowTheFindings)
{
    struct Case
    {
        const char* name;
        ProjectionMode mode;
        bool reminder;
        bool error;
        bool launch;
        QString counts;
        bool startShown;
        QString startText;
        bool startEnabled;
    };
    const QList<Case> cases{
        {"clean check", ProjectionMode::cueOnce, false, false, false, "1 个节目 · 0 项错误 · 0 项提醒", false, "",
         false},
        {"clean start", ProjectionMode::playlistOnce, false, false, true, "3 个节目 · 0 项错误 · 0 项提醒", true,
         "开始投放", true},
        {"reminder", ProjectionMode::playlistLoop, true, false, true, "3 个节目 · 0 项错误 · 1 项提醒", true,
         "继续投放", true},
        {"error", ProjectionMode::playlistOnce, true, true, true, "3 个节目 · 1 项错误 · 1 项提醒", true, "继续投放",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        edit([](Show& show) { show.cues = Show::makeDefault().cues; });
        select(0);
        if (c.reminder)
            giveReminder(0);
        if (c.error)
            giveError(2);
        state->setProjectionMode(c.mode);
        open(c.launch);
        EXPECT_EQ(counts(), c.counts);
        EXPECT_EQ(showsPlaceholder(), !c.reminder && !c.error);
        EXPECT_EQ(rowCount(), int(c.reminder) + int(c.error));
        EXPECT_EQ(startButton()->isVisibleTo(check.get()), c.startShown);
        if (c.startShown) {
            EXPECT_EQ(startButton()->text(), c.startText);
            EXPECT_EQ(startButton()->isEnabled(), c.startEnabled);
        }
    }
    // The last case, one error and one reminder, for a person to look at.
    check->resize(590, check->sizeHint().height());
    check->show();
    saveShot(*check, "preflight-check");
}

TEST_F(PreflightTest, TheCheckRunsAgainWhenTheShowChanges)
{
    select(0);
    giveError(0);
    open(true);
    EXPECT_FALSE(startButton()->isEnabled());
    edit([](Show& show) { show.cues[0].audio.reset(); });
    EXPECT_EQ(counts(), "1 个节目 · 1 项错误 · 0 项提醒") << "checked once the event loop turns";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(counts(), "1 个节目 · 0 项错误 · 0 项提醒");
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_EQ(startButton()->text(), "开始投放");
}

TEST_F(PreflightTest, EditsWhileOpenCheckOnlyTheChangedCuesOncePerTurn)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    edit([&](Show& show) {
        for (int cue = 0; cue < 3; ++cue)
            show.cues[cue].main = QUrl::fromLocalFile(MediaFixtures::png({8, 8}, colours[cue]));
    });
    state->setProjectionMode(ProjectionMode::playlistOnce);
    // The kept rows and counts say what a sheet opened afresh says.
    const auto showsWhatAFreshCheckShows = [&] {
        const int asked = fileChecks;
        PreflightCheck fresh(*state, windowOpener());
        fileChecks = asked;
        return rowTexts(*check) == rowTexts(fresh) && counts() == fresh.findChild<QLabel*>("counts")->text();
    };
    // Each turn with changes asks the disk once about each file, whatever the number of edits in it. The answers are
    // awaited too: a question still on the way when the next edit comes is not asked twice.
    const auto askedOncePerFile = [&](int before, int files) {
        return waitUntil(
                   [&] { return fileChecks - before >= files && engine->mediaFiles().questionsOnTheWay() == 0; }) &&
               fileChecks - before == files;
    };
    int before = fileChecks;
    open(false);
    EXPECT_TRUE(askedOncePerFile(before, 3));
    EXPECT_EQ(counts(), "3 个节目 · 0 项错误 · 3 项提醒");

    before = fileChecks;
    for (int round = 0; round < 2; ++round)
        for (int cue : {0, 2})
            edit([&](Show& show) { show.cues[cue].name = QStringLiteral("改 %1").arg(round); });
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(askedOncePerFile(before, 3)) << "four edits, one question a file";
    EXPECT_TRUE(showsWhatAFreshCheckShows());

    giveError(1);
    edit([](Show& show) { show.cues.move(0, 2); });
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(showsWhatAFreshCheckShows());
    engine->addScreen();
    QCoreApplication::sendPostedEvents();

    for (const auto& change : std::initializer_list<std::function<void()>>{
             [&] { edit([](Show& show) { show.cues.removeAt(1); }); }, [&] { engine->editHistory()->undo(); },
             [&] { edit([](Show& show) { show.cues.append(show.cues[2]); }); },
             [&] { engine->editHistory()->undo(); }}) {
        change();
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(showsWhatAFreshCheckShows());
    }
}

TEST_F(PreflightTest, AFileDeletedRestoredOrReplacedWhileOpenShowsAtTheNextRedraw)
{
    // One picture, played by the first cue itself and by the second cue's timeline.
    const QString picture = path("画面.png");
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), picture));
    MediaAsset asset;
    asset.url = QUrl::fromLocalFile(picture);
    asset.kind = AssetKind::image;
    TimelineEvent clip;
    clip.time = 0;
    clip.track = Track::main;
    clip.outputScreen = ScreenRole{"屏幕 1"};
    clip.assetID = asset.id;
    edit([&](Show& show) {
        show.assets = QList<MediaAsset>{asset};
        show.cues[0].main = asset.url;
        show.cues[1].timeline = QList<TimelineEvent>{clip};
    });
    state->setProjectionMode(ProjectionMode::playlistOnce);
    open(false);
    // An edit asks the disk again; the sheet shows its answer when it comes.
    const auto errorsAfterARedraw = [&](const QString& errors) {
        edit([](Show& show) { show.cues[2].name += QStringLiteral("改"); });
        waitUntil([&] { return counts().section(QStringLiteral(" · "), 1, 1) == errors; });
        return counts().section(QStringLiteral(" · "), 1, 1).toStdString();
    };
    EXPECT_EQ(errorsAfterARedraw("0 项错误"), "0 项错误");

    const QString aside = path("移开.png");
    ASSERT_TRUE(QFile::rename(picture, aside));
    EXPECT_EQ(errorsAfterARedraw("2 项错误"), "2 项错误") << "the deleted file is missing for both cues";
    ASSERT_TRUE(QFile::rename(aside, picture));
    EXPECT_EQ(errorsAfterARedraw("0 项错误"), "0 项错误") << "and present again once it is back";

    // Replaced by an empty file: what was read from the old file's header no longer holds.
    ASSERT_TRUE(QFile::remove(picture));
    ASSERT_TRUE(QFile(picture).open(QIODevice::WriteOnly));
    EXPECT_EQ(errorsAfterARedraw("2 项错误"), "2 项错误");
    const QStringList rows = rowTexts(*check);
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_TRUE(rows.first().startsWith(QStringLiteral("素材无法读取"))) << rows.first().toStdString();
}

TEST_F(PreflightTest, AFileThatStopsAnsweringIsNamedAndCheckedAgainWhenItAnswers)
{
    const QString share = path("share");
    ASSERT_TRUE(QDir().mkpath(share));
    const QString picture = share + "/画面.png";
    ASSERT_TRUE(QFile::copy(MediaFixtures::png(), picture));
    edit([&](Show& show) { show.cues[0].main = QUrl::fromLocalFile(picture); });
    select(0);
    open(false);
    EXPECT_EQ(counts().section(QStringLiteral(" · "), 1, 1), QStringLiteral("0 项错误"));

    stalled->stall(share);
    QElapsedTimer clock;
    clock.start();
    edit([](Show& show) { show.cues[0].name += QStringLiteral("改"); });
    QCoreApplication::sendPostedEvents();
    EXPECT_LT(clock.elapsed(), 1000) << "the sheet waited on the folder";
    EXPECT_TRUE(
        waitUntil([&] { return rowTexts(*check).value(0).startsWith(QStringLiteral("素材无响应 · 画面.png")); }));
    EXPECT_EQ(counts().section(QStringLiteral(" · "), 1, 1), QStringLiteral("1 项错误"));
    ASSERT_FALSE(rowTexts(*check).isEmpty());
    EXPECT_TRUE(rowTexts(*check).first().startsWith(QStringLiteral("素材无响应 · 画面.png")))
        << rowTexts(*check).first().toStdString();
    check->resize(590, 300);
    saveShot(*check, "preflight-unanswered-file");

    // The answer that comes later is shown without another edit.
    stalled->release();
    EXPECT_TRUE(waitUntil([&] { return counts().section(QStringLiteral(" · "), 1, 1) == QStringLiteral("0 项错误"); }));
}

TEST_F(PreflightTest, AClickOnAFindingThatChangedUnderThePointerIsNotFollowed)
{
    giveError(0);
    giveError(1);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    select(2);
    open(false);
    ASSERT_EQ(rowCount(), 2);
    edit([](Show& show) { show.cues[0].audio.reset(); });
    clickRow(0);
    EXPECT_TRUE(state->preflightOpen());
    EXPECT_EQ(state->selectedIndex(), 2);
    EXPECT_EQ(rowCount(), 1);
    clickRow(0);
    EXPECT_EQ(state->selectedIndex(), 1);
}

TEST_F(PreflightTest, AFindingLeadsToItsCueEventAndScreenPage)
{
    const QUuid event = giveEventError(1);
    giveError(2);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    const QUuid earlierFocus = QUuid::createUuid();
    engine->setFocusEvent(earlierFocus);
    open(false);
    // The clip's error, the third screen's reminder, the third cue's error.
    ASSERT_EQ(rowCount(), 3);

    clickRow(2);
    EXPECT_FALSE(state->preflightOpen());
    EXPECT_EQ(state->selectedIndex(), 2);
    EXPECT_EQ(engine->focusEvent(), earlierFocus);
    EXPECT_EQ(state->screenPage(), 0);

    open(false);
    clickRow(0);
    EXPECT_EQ(state->selectedIndex(), 1);
    EXPECT_EQ(engine->focusEvent(), event);
    EXPECT_EQ(state->screenPage(), 1);
}

TEST_F(PreflightTest, AStartThatFindsNothingChecksTheListOnce)
{
    edit([](Show& show) {
        for (Cue& cue : show.cues)
            cue.audio = QUrl::fromLocalFile(MediaFixtures::wav());
    });
    state->setProjectionMode(ProjectionMode::playlistOnce);
    fileChecks = 0;
    ProjectionLaunch(*state, windowOpener()).requestStart();
    EXPECT_EQ(engine->projectionMode(), ProjectionMode::playlistOnce);
    EXPECT_FALSE(state->preflightOpen());
    EXPECT_LE(fileChecks, 1) << "the list is checked once, by what the disk said";
}

TEST_F(PreflightTest, CloseOnlyClosesAndContinueStartsTheRun)
{
    select(0);
    giveReminder(0);
    state->setPreviewMode(true);
    open(true);
    button(*check, "关闭")->click();
    EXPECT_FALSE(state->preflightOpen());
    EXPECT_FALSE(engine->projectionMode());

    open(true);
    startButton()->click();
    EXPECT_FALSE(state->preflightOpen());
    EXPECT_EQ(engine->projectionMode(), ProjectionMode::cueOnce);
    EXPECT_FALSE(state->previewMode());
    EXPECT_EQ(openedWindows, QStringList{"projection-monitor"});
}

// A run over thousands of clips gathers its files over turns and starts after the click: whether the sheet is let go
// of at the click, as the console does, or outlives it, the run turns the monitors to what is on air and opens its
// window once it has started.
TEST_F(PreflightTest, ARunOfALargeShowStartsLaterFromTheSheetWhetherTheSheetStaysOrGoes)
{
    edit([](Show& show) {
        MediaAsset picture;
        picture.url = QUrl::fromLocalFile(MediaFixtures::png());
        QList<TimelineEvent> clips;
        for (int i = 0; i < 5000; ++i) {
            TimelineEvent clip;
            clip.track = Track::main;
            clip.time = i * 0.01;
            clip.imageDuration = 1;
            clip.assetID = picture.id;
            clips.append(clip);
        }
        show.assets = QList<MediaAsset>{picture};
        show.cues[0].timeline = clips;
    });
    for (const bool sheetStays : {false, true}) {
        SCOPED_TRACE(sheetStays ? "the sheet outlives the click" : "the sheet goes at the click");
        engine->stop(true);
        openedWindows.clear();
        select(0);
        giveReminder(0);
        state->setPreviewMode(true);
        open(true);
        ASSERT_TRUE(startButton()->isEnabled());
        startButton()->click();
        if (!sheetStays)
            check.reset();
        ASSERT_TRUE(waitUntil([&] { return engine->projectionMode().has_value(); }, 30000))
            << engine->message().toStdString();
        EXPECT_TRUE(waitUntil([&] { return !state->previewMode(); }));
        EXPECT_EQ(openedWindows, QStringList{"projection-monitor"});
    }
}

TEST_F(PreflightTest, ShotOfALongListThatScrollsOnlyDownwards)
{
    edit([](Show& show) {
        for (int i = 0; i < 8; ++i)
            show.cues.append(Cue{});
    });
    giveReminder(0);
    for (int cue = 1; cue < engine->show().cues.size(); ++cue)
        giveError(cue);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    open(true);
    check->resize(590, check->sizeHint().height());
    check->show();
    QCoreApplication::processEvents();
    saveShot(*check, "preflight-check-long");
    ASSERT_TRUE(rows()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(rows()->horizontalScrollBar()->isVisible());
    // Each row, with the arrow at its end, lies within what the list shows beside its scrollbar.
    EXPECT_LE(rows()->visualRect(rows()->model()->index(0, 0)).right(), rows()->viewport()->width() - 1);
}

TEST_F(ConsoleTest, TheHeaderOpensTheCheckSheetAndEscapeClosesIt)
{
    ConsoleWindow& window = app->consoleWindow();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    button(*view().header(), "投放检查")->click();
    ConsoleSheet* sheet = view().preflightSheet();
    ASSERT_TRUE(sheet);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(view().state().preflightOpen());
    EXPECT_TRUE(waitUntil([&] { return !view().preflightSheet(); }));
}

// After the operator worked in the projection monitor, coming back to the console gives the keyboard to its open
// sheet: Escape, pressed wherever the keyboard now is, closes it.
TEST_F(ConsoleTest, TheCheckSheetHasTheKeyboardAgainWhenTheConsoleIsActiveAgain)
{
    ConsoleWindow& window = app->consoleWindow();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    button(*view().header(), "投放检查")->click();
    ConsoleSheet* sheet = view().preflightSheet();
    ASSERT_TRUE(sheet && QTest::qWaitForWindowActive(sheet));

    app->openWindow("projection-monitor");
    QWidget* monitor = app->singleWindows().window("projection-monitor");
    ASSERT_TRUE(monitor && QTest::qWaitForWindowActive(monitor));
    window.activateWindow();
    EXPECT_TRUE(waitUntil([&] { return QGuiApplication::focusWindow() == sheet->windowHandle(); }));
    QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Escape);
    EXPECT_FALSE(view().state().preflightOpen());
    EXPECT_TRUE(waitUntil([&] { return !view().preflightSheet(); }));
}

// Sixty clips on a share that answers every request late, as a busy network share does: the open sheet asks the
// disk about each file once, shows the findings as the answers come, and settles on them.
TEST_F(PreflightTest, OverAShareThatAnswersLateTheSheetSettlesAfterOneQuestionAFile)
{
    StallableMount share(path("backing"), path("share"), path("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const ClipsOnShare clips = clipsOnShare(share, 60);
    share.delay(0.003);
    // Opened as soon as the show has them, before the disk has said anything of them.
    Show show = engine->show();
    show.assets = clips.assets;
    show.cues[0].timeline = clips.events;
    const int before = fileChecks;
    engine->setShow(show);
    select(0);
    open(false);
    EXPECT_TRUE(
        waitUntil([&] { return fileChecks - before >= 60 && engine->mediaFiles().questionsOnTheWay() == 0; }, 30000));
    EXPECT_EQ(counts(), QStringLiteral("1 个节目 · 0 项错误 · 1 项提醒"));
    const int asked = fileChecks - before;
    EXPECT_EQ(asked, 60) << "each file once";
    runEvents(2500);
    EXPECT_EQ(fileChecks - before, asked) << "the sheet settled, yet asked on";
    EXPECT_EQ(counts(), QStringLiteral("1 个节目 · 0 项错误 · 1 项提醒"));
}

// A measured length is no change to check: the open sheet asks the disk nothing and keeps its findings, which stay
// what a sheet opened afresh lists, also after the next edit.
TEST_F(PreflightTest, AMeasuredLengthAsksNothingAndKeepsEveryFinding)
{
    MediaAsset tone;
    tone.url = QUrl::fromLocalFile(MediaFixtures::wav());
    tone.kind = AssetKind::audio;
    TimelineEvent music;
    music.track = Track::music;
    music.assetID = tone.id;
    edit([&](Show& show) {
        show.assets = QList<MediaAsset>{tone};
        show.cues[0].timeline = QList<TimelineEvent>{music};
    });
    giveEventError(1);
    giveError(2);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    open(false);
    ASSERT_TRUE(waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0 && rowCount() >= 2; }));
    QCoreApplication::sendPostedEvents();
    const QStringList listed = rowTexts(*check);
    const int asked = fileChecks;

    EXPECT_TRUE(engine->storeMeasuredDuration(tone.id, tone.url, 2.5));
    runEvents(50);
    EXPECT_EQ(fileChecks, asked);
    EXPECT_EQ(rowTexts(*check), listed);

    edit([](Show& show) { show.cues[1].timeline = QList<TimelineEvent>{}; });
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0 && rowCount() < listed.size(); }));
    PreflightCheck fresh(*state, windowOpener());
    EXPECT_EQ(rowTexts(*check), rowTexts(fresh));
}

// Entries added to the library (an import) keep the findings, unless an event names one of them: then its cue is
// checked again. Either way the sheet lists what a sheet opened afresh lists.
TEST_F(PreflightTest, EntriesAddedToTheLibraryKeepTheFindingsUnlessAnEventNamesThem)
{
    MediaAsset tone;
    tone.url = QUrl::fromLocalFile(MediaFixtures::wav());
    tone.kind = AssetKind::audio;
    edit([&](Show& show) { show.assets = QList<MediaAsset>{tone}; });
    giveEventError(1);
    giveError(2);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    open(false);
    const auto settled = [&] {
        const bool done = waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0 && rowCount() >= 2; });
        QCoreApplication::sendPostedEvents();
        return done;
    };
    const auto showsWhatAFreshCheckShows = [&] {
        PreflightCheck fresh(*state, windowOpener());
        return rowTexts(*check) == rowTexts(fresh);
    };
    ASSERT_TRUE(settled());
    const QStringList before = rowTexts(*check);

    MediaAsset other = tone;
    other.id = QUuid::createUuid();
    other.url = QUrl::fromLocalFile(MediaFixtures::png());
    other.kind = AssetKind::image;
    edit([&](Show& show) { show.assets->append(other); });
    EXPECT_TRUE(settled());
    EXPECT_EQ(rowTexts(*check), before);
    EXPECT_TRUE(showsWhatAFreshCheckShows());

    MediaAsset named = other;
    named.id = *engine->show().cues[1].timeline->first().assetID;
    edit([&](Show& show) { show.assets->append(named); });
    EXPECT_TRUE(settled());
    EXPECT_NE(rowTexts(*check), before) << "the clip's entry came, and its finding stayed";
    EXPECT_TRUE(showsWhatAFreshCheckShows());
}

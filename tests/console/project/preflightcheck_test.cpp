#include "consolefixture.h"
#include "consolesheet.h"
#include "consolestate.h"
#include "mediafixtures.h"
#include "preflightcheck.h"
#include "sectionfixture.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
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
    QListWidget* rows() { return check->findChild<QListWidget*>("findings"); }
    bool showsPlaceholder() { return check->findChild<QStackedWidget*>()->currentIndex() == 0; }
    void clickRow(int row)
    {
        check->resize(590, 400);
        check->show();
        QTest::mouseClick(rows()->viewport(), Qt::LeftButton, {}, rows()->visualItemRect(rows()->item(row)).center());
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
        EXPECT_EQ(startButton()->isVisibleTo(check.get()), c.startShown);
        if (c.startShown) {
            EXPECT_EQ(startButton()->text(), c.startText);
            EXPECT_EQ(startButton()->isEnabled(), c.startEnabled);
        }
    }
}

TEST_F(PreflightTest, TheCheckRunsAgainWhenTheShowChanges)
{
    select(0);
    giveError(0);
    open(true);
    EXPECT_FALSE(startButton()->isEnabled());
    edit([](Show& show) { show.cues[0].audio.reset(); });
    EXPECT_EQ(counts(), "1 个节目 · 0 项错误 · 0 项提醒");
    EXPECT_TRUE(startButton()->isEnabled());
    EXPECT_EQ(startButton()->text(), "开始投放");
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
    ASSERT_EQ(rows()->count(), 3);

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

TEST_F(PreflightTest, ShotWithOneErrorAndOneReminder)
{
    giveReminder(0);
    giveError(1);
    state->setProjectionMode(ProjectionMode::playlistOnce);
    open(true);
    check->resize(590, check->sizeHint().height());
    check->show();
    saveShot(*check, "preflight-check");
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

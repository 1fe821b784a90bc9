#include "consolesheet.h"
#include "consolestate.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "engine.h"
#include "eventwait.h"
#include "lumoriaapp.h"
#include "lumosettings.h"
#include "lumostyle.h"
#include "mediafixtures.h"
#include "projectfilewait.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace {

// The whole console as the program's entry wires it: timeline editor, remote host and remote panel.
class Evening : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        applyLumoStyle(*qApp);
        start();
    }
    void TearDown() override { app.reset(); }

    void start()
    {
        app.reset();
        editor = nullptr;
        LumoriaApp::Options options;
        options.recoveryDirectory = folder.filePath("recovery");
        options.settingsFile = folder.filePath("settings.ini");
        app = std::make_unique<LumoriaApp>(options);
        editor = app->consoleWindow().view()->timelineEditor();
        app->consoleWindow().resize(1440, 900);
        app->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->consoleWindow()));
    }

    Engine& engine() const { return app->engine(); }
    ConsoleView& view() const { return *app->consoleWindow().view(); }
    QAbstractButton* button(const QString& textOrName) const
    {
        for (QAbstractButton* found : app->consoleWindow().findChildren<QAbstractButton*>())
            if ((found->text() == textOrName || found->objectName() == textOrName) && found->isVisible())
                return found;
        ADD_FAILURE() << "no visible button " << textOrName.toStdString();
        return nullptr;
    }
    void click(const QString& textOrName) const
    {
        if (QAbstractButton* found = button(textOrName)) {
            EXPECT_TRUE(found->isEnabled()) << textOrName.toStdString();
            found->click();
        }
    }
    // Leaves a picture of the whole console for a person to look at.
    void shot(const QString& moment) const
    {
        QApplication::processEvents();
        QDir().mkpath(LUMO_TEST_SHOTS);
        app->consoleWindow().grab().save(QString(LUMO_TEST_SHOTS) + "/console-evening-" + moment + ".png");
    }
    void sheetShot(const QString& moment) const
    {
        QApplication::processEvents();
        QDir().mkpath(LUMO_TEST_SHOTS);
        view().preflightSheet()->grab().save(QString(LUMO_TEST_SHOTS) + "/console-evening-sheet-" + moment + ".png");
    }

    QTemporaryDir folder;
    TimelineEditor* editor = nullptr;
    std::unique_ptr<LumoriaApp> app;
};

} // namespace

TEST_F(Evening, AnOperatorBuildsSavesReopensAndRunsAShowThenQuits)
{
    ASSERT_NE(editor, nullptr);
    const int cuesAtStart = engine().show().cues.size();

    // Two new cues from the cue list's button.
    click("addCue");
    click("addCue");
    ASSERT_EQ(engine().show().cues.size(), cuesAtStart + 2);

    // A still and a video go into the library and onto the first cue's main screen.
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png({640, 360}, Qt::darkCyan));
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 3}));
    engine().setSelected(engine().show().cues[0].id);
    const TimelineLane screenLane{Track::main, 1, kScreen1};
    editor->model().library().insertFile(still, screenLane, 0);
    editor->model().library().insertFile(video, {Track::main, 2, kScreen1}, 1);
    // Each file goes in once the disk has answered about it.
    waitUntil([&] { return !editor->model().library().importing(); });
    ASSERT_EQ(engine().show().assets.value_or(QList<MediaAsset>{}).size(), 2)
        << editor->model().view().note().toStdString();
    ASSERT_TRUE(engine().show().cues[0].timeline);
    EXPECT_EQ(engine().show().cues[0].timeline->size(), 2) << editor->model().view().note().toStdString();
    runEvents(500);
    shot("1-edited");

    // Saved, reopened: the same show, nothing unsaved; undo and redo step over the reopen without loss.
    const QUrl file = QUrl::fromLocalFile(folder.filePath("evening.json"));
    ASSERT_EQ(ProjectFileWait::save(engine(), file), std::nullopt);
    EXPECT_FALSE(engine().hasUnsavedChanges());
    const Show saved = engine().show();
    ASSERT_EQ(ProjectFileWait::open(engine(), file), std::nullopt);
    EXPECT_EQ(engine().show(), saved);
    EXPECT_FALSE(engine().hasUnsavedChanges());
    EXPECT_FALSE(app->consoleWindow().undoAction()->isEnabled()) << "the opened file is where the history starts";
    engine().setSelected(engine().show().cues.last().id);
    click("removeCue");
    ASSERT_EQ(engine().show().cues.size(), saved.cues.size() - 1);
    EXPECT_TRUE(engine().hasUnsavedChanges());
    app->consoleWindow().undoAction()->trigger();
    EXPECT_EQ(engine().show(), saved);
    EXPECT_FALSE(engine().hasUnsavedChanges()) << "undone back to what the file holds";
    app->consoleWindow().redoAction()->trigger();
    EXPECT_EQ(engine().show().cues.size(), saved.cues.size() - 1);
    app->consoleWindow().undoAction()->trigger();
    EXPECT_EQ(engine().show(), saved);
    shot("2-reopened");

    // The check over the whole list, then a run of the list once, paused and stopped; then GO by hand.
    view().state().setProjectionMode(ProjectionMode::playlistOnce);
    click("投放检查");
    ASSERT_TRUE(waitUntil([&] { return view().preflightSheet() && view().preflightSheet()->isVisible(); }));
    sheetShot("check");
    view().state().setPreflightOpen(false);
    ASSERT_TRUE(waitUntil([&] { return !view().preflightSheet(); }));

    click("开始投放");
    if (!engine().projectionMode()) {
        // Reminders (screens seen only on the monitors) hold the start until the operator goes on.
        ASSERT_TRUE(waitUntil([&] { return view().preflightSheet() && view().preflightSheet()->isVisible(); }));
        sheetShot("check-before-start");
        QAbstractButton* goOn = nullptr;
        for (QAbstractButton* found : view().preflightSheet()->findChildren<QAbstractButton*>())
            if (found->objectName() == "startRun" && found->isVisible())
                goOn = found;
        ASSERT_NE(goOn, nullptr);
        ASSERT_TRUE(goOn->isEnabled());
        goOn->click();
    }
    ASSERT_EQ(engine().projectionMode(), ProjectionMode::playlistOnce);
    EXPECT_TRUE(waitUntil([&] { return engine().current().has_value(); }, 20000));
    click("togglePause");
    EXPECT_TRUE(engine().paused());
    shot("3-run-paused");
    click("全部停止");
    EXPECT_FALSE(engine().current());
    EXPECT_FALSE(engine().projectionMode());
    click("GO 下一条");
    EXPECT_TRUE(waitUntil([&] { return engine().current().has_value(); }, 20000));
    click("togglePause");
    EXPECT_TRUE(engine().paused());
    click("全部停止");
    EXPECT_FALSE(engine().current());

    // Each single window comes up with content and goes away.
    for (const QString id : {"remote-control", "user-guide", "projector-mapping", "projection-monitor"}) {
        app->openWindow(id);
        QWidget* window = app->singleWindows().window(id);
        ASSERT_NE(window, nullptr) << id.toStdString();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window)) << id.toStdString();
        runEvents(300);
        EXPECT_FALSE(window->findChildren<QWidget*>().isEmpty()) << id.toStdString();
        QDir().mkpath(LUMO_TEST_SHOTS);
        window->grab().save(QString(LUMO_TEST_SHOTS) + "/console-evening-window-" + id + ".png");
        window->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(app->singleWindows().window(id), nullptr) << id.toStdString();
    }

    // A second screen with a clip on air: its removal is refused with a word why, and the clip plays on.
    click("添加屏幕");
    ASSERT_TRUE(engine().show().screens().contains(kScreen2));
    const Cue opening = engine().show().cues[1];
    engine().setSelected(opening.id);
    editor->model().library().insertFile(video, {Track::main, 1, kScreen2}, 0);
    ASSERT_TRUE(engine().take(engine().show().cues[1]));
    runEvents(500);
    shot("4-on-air");
    const Show beforeRemoval = engine().show();
    for (QAbstractButton* remove : app->consoleWindow().findChildren<QAbstractButton*>("removeScreen"))
        if (remove->accessibleName() == QStringLiteral("移除") + kScreen2.rawValue)
            remove->click();
    EXPECT_EQ(engine().show(), beforeRemoval);
    ASSERT_TRUE(engine().current());
    EXPECT_EQ(engine().current()->id, opening.id);
    EXPECT_EQ(engine().message(), QStringLiteral("请先移除节目中引用此屏幕的素材"));
    shot("5-removal-refused");
    click("全部停止");

    // Quitting keeps the unsaved work for the next start, which takes it back whole.
    EXPECT_TRUE(engine().hasUnsavedChanges());
    const Show atQuit = engine().show();
    view().applicationWillTerminate();
    EXPECT_TRUE(QFile::exists(folder.filePath("recovery/Recovery.json")));
    start();
    ASSERT_TRUE(engine().canRecoverProject());
    ProjectFileWait::recover(engine());
    EXPECT_EQ(engine().show(), atQuit);
    EXPECT_TRUE(engine().hasUnsavedChanges());
    shot("6-recovered");
}

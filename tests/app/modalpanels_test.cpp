#include "assetpicker.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "engine.h"
#include "eventwait.h"
#include "filepanelprocess.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mediafilechooser.h"
#include "mediafixtures.h"
#include "medialibrarypanel.h"
#include "panelondisplay.h"
#include "projectfilewait.h"
#include "timelineeditor.h"
#include "timelineeditormodel.h"
#include "timelineviewstate.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <signal.h>

namespace {

// The whole console on the test's display, its file panels shown by the panel program, answered by keys typed into
// the panel as an operator would.
class ModalPanels : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        applyLumoStyle(*qApp);
        ASSERT_TRUE(QDir(folder.path()).mkpath("media"));
        ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::red), media("red.png")));
        ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::blue), media("blue.png")));
        // The panel program starts in the console's working folder.
        QDir::setCurrent(folder.filePath("media"));
        app = std::make_unique<LumoriaApp>(
            LumoriaApp::Options{folder.filePath("recovery"), folder.filePath("settings.ini")});
        app->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&app->consoleWindow()));
    }
    void TearDown() override
    {
        app.reset();
        QDir::setCurrent(before);
    }

    Engine& engine() const { return app->engine(); }
    ConsoleView& view() const { return *app->consoleWindow().view(); }
    FilePanelProcess& panels() const { return FilePanelProcess::of(&app->consoleWindow()); }
    QString media(const QString& name) const { return folder.filePath("media/" + name); }
    QUrl mediaUrl(const QString& name) const { return QUrl::fromLocalFile(media(name)); }
    xcb_window_t panelWindow()
    {
        xcb_window_t found = 0;
        waitUntil([&] { return panels().processId() > 0 && (found = display.windowOf(panels().processId())); }, 20000);
        return found;
    }
    // A click on the cue's row in the cue list, as the operator's mouse gives it.
    void clickCue(int row)
    {
        auto* rows = view().cueList()->findChild<QListView*>();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {},
                          rows->visualRect(rows->model()->index(row, 0)).center());
    }
    QPushButton* button(QWidget& parent, const QString& text)
    {
        for (QPushButton* found : parent.findChildren<QPushButton*>())
            if (found->text() == text)
                return found;
        ADD_FAILURE() << "no button " << text.toStdString();
        return nullptr;
    }

    const QString before = QDir::currentPath();
    QTemporaryDir folder;
    std::unique_ptr<LumoriaApp> app;
    PanelOnDisplay display;
};

} // namespace

// While a panel is shown the console takes none of the operator's input: another cue clicked, the run's start, GO's
// keys, undo and a file dropped on the library all do nothing, while a phone's GO still goes on air. The answer then
// goes to what was asked, whatever is selected by then: the cue of the inspector, the timeline's cue, lane and time,
// the show of "导入" (nowhere once another show was opened). Once the panel is gone, the console takes input again.
TEST_F(ModalPanels, TheConsoleTakesNoInputWhileAPanelIsShownAndEachAnswerGoesWhereItWasAsked)
{
    const QList<Cue> cues = engine().show().cues;
    engine().setSelected(cues[0].id);
    Show renamed = engine().show();
    renamed.cues[2].name = QStringLiteral("谢幕");
    engine().setShow(renamed);

    auto* picker = view().inspector()->findChild<AssetPicker*>(QStringLiteral("屏幕 1 素材"));
    ASSERT_NE(picker, nullptr);
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage unasked = screen->grabWindow(0).toImage();
    QTest::mouseClick(button(*picker, QStringLiteral("选择")), Qt::LeftButton);
    const xcb_window_t panel = panelWindow();
    ASSERT_NE(panel, 0u);
    const auto consoleWindow = xcb_window_t(app->consoleWindow().winId());
    EXPECT_EQ(display.transientFor(panel), consoleWindow) << "the panel does not stay in front of the console";
    EXPECT_TRUE(display.stackedAbove(panel, consoleWindow));
    // The console with the panel in front of it, as the operator sees them, once the panel has drawn over it.
    const QRect panelRect = display.geometry(panel);
    QImage shown;
    waitUntil([&] {
        shown = screen->grabWindow(0).toImage();
        return shown.copy(panelRect) != unasked.copy(panelRect) && paintedWithText(shown.copy(panelRect));
    });
    QDir().mkpath(LUMO_TEST_SHOTS);
    shown.copy(app->consoleWindow().frameGeometry().united(panelRect))
        .save(QStringLiteral(LUMO_TEST_SHOTS "/console-with-file-panel.png"));

    const Show asked = engine().show();
    const int undoSteps = engine().editHistory()->index();
    clickCue(2);
    QTest::mouseClick(button(*view().header(), QStringLiteral("开始投放")), Qt::LeftButton);
    QTest::keyClick(&app->consoleWindow(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClick(&app->consoleWindow(), Qt::Key_Z, Qt::ControlModifier);
    auto* library = view().findChild<MediaLibraryPanel*>();
    ASSERT_NE(library, nullptr);
    QMimeData dropped;
    dropped.setUrls({mediaUrl("blue.png")});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QApplication::sendEvent(library, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, {});
    QApplication::sendEvent(library, &drop);
    runEvents(300);
    EXPECT_EQ(engine().selected(), cues[0].id) << "a click chose another cue";
    EXPECT_FALSE(engine().projectionMode()) << "the run started";
    EXPECT_EQ(view().preflightSheet(), nullptr);
    EXPECT_FALSE(engine().current()) << "GO's keys went on air";
    EXPECT_EQ(engine().editHistory()->index(), undoSteps) << "undo stepped back";
    EXPECT_EQ(engine().show(), asked) << "the drop was imported";
    EXPECT_TRUE(panels().holdsInput());

    // A phone's GO is served meanwhile; the cue it takes becomes the selection.
    engine().go();
    engine().go();
    ASSERT_TRUE(waitUntil([&] { return engine().current() && engine().current()->id == cues[1].id; }));
    EXPECT_EQ(engine().selected(), cues[1].id);

    display.enter(panel, QStringLiteral("\"red.png\""));
    Show expected = asked;
    expected.cues[0].main = mediaUrl("red.png");
    EXPECT_TRUE(waitUntil([&] { return engine().show() == expected; })) << "the file went elsewhere";
    EXPECT_FALSE(engine().projectionMode());
    EXPECT_FALSE(panels().holdsInput());
    clickCue(2);
    EXPECT_EQ(engine().selected(), cues[2].id) << "the console takes no input after the panel";

    // "添加图片…" on the first lane of 谢幕; 开场 is selected while the panel is shown.
    engine().stop(true);
    TimelineEditorModel& timeline = view().timelineEditor()->model();
    const double at = timeline.view().timeAt(200);
    const TimelineLane lane = timeline.cue().lanes().first();
    for (const TimelineMenuItem& item : timeline.insertionMenu({200, 24 + 16}))
        if (item.title == QStringLiteral("添加图片…"))
            item.invoke();
    const xcb_window_t imagePanel = panelWindow();
    ASSERT_NE(imagePanel, 0u);
    const Show beforeClip = engine().show();
    engine().setSelected(cues[1].id);
    display.enter(imagePanel, QStringLiteral("\"blue.png\""));
    ASSERT_TRUE(waitUntil([&] { return engine().show().cues[2].timeline.has_value(); })) << "no clip in 谢幕";
    const Show withClip = engine().show();
    ASSERT_EQ(withClip.assets.value_or(QList<MediaAsset>{}).size(), 1);
    const MediaAsset blue = withClip.assets->first();
    EXPECT_EQ(blue.url, mediaUrl("blue.png"));
    ASSERT_EQ(withClip.cues[2].timeline->size(), 1);
    const TimelineEvent clip = withClip.cues[2].timeline->first();
    EXPECT_EQ(clip.assetID, blue.id);
    EXPECT_TRUE(lane.matches(clip));
    EXPECT_NEAR(clip.time, at, 0.01);
    EXPECT_EQ(withClip.cues[0], beforeClip.cues[0]);
    EXPECT_EQ(withClip.cues[1], beforeClip.cues[1]) << "the selected cue took the clip";
    EXPECT_EQ(engine().selected(), cues[1].id);

    // "导入" asked for this show; another is opened while the panel is shown, and takes nothing.
    ASSERT_EQ(ProjectFileWait::save(engine(), QUrl::fromLocalFile(folder.filePath("show.json"))), std::nullopt);
    QTest::mouseClick(library->importButton(), Qt::LeftButton);
    const xcb_window_t importPanel = panelWindow();
    ASSERT_NE(importPanel, 0u);
    ASSERT_EQ(ProjectFileWait::open(engine(), QUrl::fromLocalFile(folder.filePath("show.json"))), std::nullopt);
    const Show opened = engine().show();
    display.enter(importPanel, QStringLiteral("\"red.png\""));
    EXPECT_TRUE(waitUntil([&] { return !panels().isAsking(); }));
    runEvents(300);
    EXPECT_EQ(engine().show(), opened) << "the import went into the show opened since";
}

// A panel program that stops answering lets the console take input and says so; once it answers again the console
// holds its input again, and the line no longer says the console takes it: it tells what holds now.
TEST_F(ModalPanels, ThePanelsSilenceLeavesTheStatusLineWhenThePanelAnswersAgain)
{
    const QString silentText = QStringLiteral("文件面板没有响应（它所在的文件夹可能停止响应） · 控制台可以继续操作");
    const QString before = engine().message();
    chooseMediaFile(&app->consoleWindow(), {AssetKind::image}, [](const QUrl&) {});
    ASSERT_NE(panelWindow(), 0u);
    const auto program = pid_t(panels().processId());
    ASSERT_EQ(::kill(program, SIGSTOP), 0);
    EXPECT_TRUE(waitUntil([&] { return engine().message() == silentText; })) << engine().message().toStdString();
    EXPECT_FALSE(panels().holdsInput());
    ASSERT_EQ(::kill(program, SIGCONT), 0);
    EXPECT_TRUE(waitUntil([&] { return panels().holdsInput(); }));
    EXPECT_EQ(engine().message(), before);
    panels().giveUp();
}

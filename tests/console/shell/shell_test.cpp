#include "consolefixture.h"
#include "consolestate.h"
#include "consolestatusbar.h"
#include "elidedlabel.h"
#include "eventwait.h"
#include "heartbeat.h"
#include "lumohelp.h"
#include "mediafilechooser.h"
#include "projectfile.h"
#include "projectfilewait.h"
#include "shownlength.h"
#include "stallablemount.h"
#include "windowplacement.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <unistd.h>

TEST_F(ConsoleTest, HoverHelpFollowsTheSwitchLiveAndSurvivesARestart)
{
    auto* inView = new QWidget(&view());
    lumoHelp(inView, "开始投放");
    view().state().setPreflightOpen(true);
    auto* inSheet = new QWidget(view().preflightSheet());
    lumoHelp(inSheet, "关闭");
    QAction* toggle = app->consoleWindow().tooltipsAction();
    ASSERT_TRUE(toggle->isChecked());
    EXPECT_EQ(lumoHelpText(inView), "开始投放");

    toggle->trigger();
    EXPECT_EQ(lumoHelpText(inView), "");
    EXPECT_EQ(lumoHelpText(inSheet), "");
    EXPECT_TRUE(waitUntil([&] { return app->settings().written(); }));
    EXPECT_FALSE(LumoSettings(settingsFile()).showsLumoTooltips());

    toggle->trigger();
    EXPECT_EQ(lumoHelpText(inView), "开始投放");
    EXPECT_EQ(lumoHelpText(inSheet), "关闭");

    app->settings().setShowsLumoTooltips(false);
    start();
    EXPECT_FALSE(app->consoleWindow().tooltipsAction()->isChecked());
    app->openWindow("projection-monitor");
    auto* inMonitor = new QWidget(app->singleWindows().window("projection-monitor"));
    lumoHelp(inMonitor, "暂停");
    EXPECT_EQ(lumoHelpText(inMonitor), "");
    app->openWindow("user-guide");
    auto* inGuide = new QWidget(app->singleWindows().window("user-guide"));
    lumoHelp(inGuide, "目录");
    EXPECT_EQ(lumoHelpText(inGuide), "目录") << "windows that do not follow the switch keep their help";
}

// Settings whose file cannot be written (its folder's place is a plain file, as for a full disk): turning hover help
// off says so on the status line, and the quit names the setting that is not in the file.
TEST_F(ConsoleTest, ASwitchWhoseSettingCannotBeWrittenIsSaidOnTheLineAndAtTheQuit)
{
    app.reset();
    QFile(folder.filePath("plain")).open(QIODevice::WriteOnly);
    const QString file = folder.filePath("plain/settings.ini");
    LumoriaApp::Options options;
    options.recoveryDirectory = recoveryDirectory();
    options.settingsFile = file;
    app = std::make_unique<LumoriaApp>(options);
    app->consoleWindow().tooltipsAction()->trigger();
    EXPECT_FALSE(app->settings().showsLumoTooltips());
    EXPECT_TRUE(waitUntil([&] { return engine().message().startsWith("设置 showsLumoTooltips 保存失败"); }))
        << engine().message().toStdString();
    EXPECT_EQ(engine().message(), "设置 showsLumoTooltips 保存失败 · 无法写入 " + file + " · 下次启动时不会保留");

    testing::internal::CaptureStderr();
    view().applicationWillTerminate();
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(said.contains("设置 showsLumoTooltips 没有保存 · 无法写入 " + file)) << said.toStdString();
}

TEST_F(ConsoleTest, AWindowOpenedTwiceIsOneWindow)
{
    for (const QString id : {"remote-control", "user-guide", "projector-mapping", "projection-monitor"}) {
        app->openWindow(id);
        QWidget* first = app->singleWindows().window(id);
        ASSERT_NE(first, nullptr) << id.toStdString();
        app->openWindow(id);
        EXPECT_EQ(app->singleWindows().window(id), first);
        int named = 0;
        for (QWidget* window : QApplication::topLevelWidgets())
            named += window->objectName() == id && window->isVisible();
        EXPECT_EQ(named, 1) << id.toStdString();
    }
    QWidget* remote = app->singleWindows().window("remote-control");
    remote->resize(900, 500);
    EXPECT_EQ(remote->width(), 460);

    app->singleWindows().window("user-guide")->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->singleWindows().window("user-guide"), nullptr);
    app->openWindow("user-guide");
    EXPECT_NE(app->singleWindows().window("user-guide"), nullptr) << "a closed window opens again";
}

TEST_F(ConsoleTest, UndoAndRedoStepThroughTheShowsEditsAndDoNothingWithoutThem)
{
    ConsoleWindow& window = app->consoleWindow();
    const Show original = engine().show();
    window.undoAction()->trigger();
    window.redoAction()->trigger();
    EXPECT_EQ(engine().show(), original);
    EXPECT_FALSE(engine().hasUnsavedChanges());

    Show renamed = original;
    renamed.cues[0].name = "开场前";
    engine().setShow(renamed);
    window.undoAction()->trigger();
    EXPECT_EQ(engine().show(), original);
    window.redoAction()->trigger();
    EXPECT_EQ(engine().show(), renamed);
}

TEST_F(ConsoleTest, QuittingWritesTheRecoveryCopyOfUnsavedWorkOnly)
{
    view().applicationWillTerminate();
    EXPECT_FALSE(QFile::exists(recoveryFile())) << "nothing unsaved, nothing to recover";

    Show renamed = engine().show();
    renamed.cues[0].name = "开场前";
    engine().setShow(renamed);
    view().applicationWillTerminate();
    EXPECT_TRUE(QFile::exists(recoveryFile()));
}

// Answers the quit's question with the given button each time it is asked, and keeps what it said; with a shot's
// name, leaves a picture of the question first.
class QuitQuestions
{
  public:
    explicit QuitQuestions(QMessageBox::StandardButton answer) : m_answer(answer)
    {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box->objectName() != "unsavedQuit")
                return;
            asked.append(box->text() + " " + box->informativeText());
            for (QAbstractButton* button : box->buttons())
                buttons.append(button->text());
            if (!shot.isEmpty()) {
                QDir().mkpath(LUMO_TEST_SHOTS);
                box->grab().save(QString(LUMO_TEST_SHOTS) + "/" + std::exchange(shot, {}) + ".png");
            }
            box->button(m_answer)->click();
        });
        m_poll.start(20);
    }
    void answerWith(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList asked;
    QStringList buttons;
    QString shot;

  private:
    QMessageBox::StandardButton m_answer;
    QTimer m_poll;
};

// Edits that the recovery copy could not take (its folder on a full disk) are in no file: closing the console asks
// first, and the operator stays or lets them go. With a good recovery copy the quit stays silent.
TEST_F(ConsoleTest, ClosingWithEditsInNoFileAsksFirstAndWithAGoodRecoveryCopyDoesNot)
{
    const auto rename = [&](const QString& name) {
        Show renamed = engine().show();
        renamed.cues[0].name = name;
        engine().setShow(renamed);
    };
    QuitQuestions questions(QMessageBox::Cancel);
    rename("有恢复副本");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(recoveryFile()); }));
    app->consoleWindow().show();
    EXPECT_TRUE(app->consoleWindow().close());
    EXPECT_EQ(questions.asked, QStringList{});

    if (geteuid() != 0)
        GTEST_SKIP() << "a full disk is a small tmpfs, which only root mounts";
    app.reset();
    QDir(recoveryDirectory()).removeRecursively();
    QDir().mkpath(recoveryDirectory());
    ASSERT_EQ(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", recoveryDirectory()}), 0);
    const auto unmount = qScopeGuard([&] {
        app.reset();
        QProcess::execute("umount", {"-l", recoveryDirectory()});
    });
    start();
    QFile filler(recoveryDirectory() + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
    }
    filler.close();
    rename("磁盘已满后的修改");
    ASSERT_TRUE(waitUntil([&] { return engine().message().startsWith("自动恢复保存失败 · "); }))
        << engine().message().toStdString();

    ConsoleWindow& window = app->consoleWindow();
    window.show();
    EXPECT_FALSE(window.close()) << "the operator chose to stay";
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(questions.asked.size(), 1);
    EXPECT_TRUE(questions.asked[0].contains("最近的修改没有保存在任何文件中")) << questions.asked[0].toStdString();
    EXPECT_TRUE(questions.asked[0].contains("磁盘空间不足")) << questions.asked[0].toStdString();
    EXPECT_TRUE(questions.buttons.contains("另存为…")) << questions.buttons.join(" | ").toStdString();
    EXPECT_TRUE(questions.buttons.contains("退出并丢弃修改")) << questions.buttons.join(" | ").toStdString();
    EXPECT_TRUE(questions.buttons.contains("取消")) << questions.buttons.join(" | ").toStdString();

    questions.answerWith(QMessageBox::Discard);
    EXPECT_TRUE(window.close()) << "the operator let the edits go";
    EXPECT_EQ(questions.asked.size(), 2);
}

// A close writes the newest edits to the recovery copy before anything else, and asks only where they are in no
// file. A good copy on a disk that filled up since: the edit closed on at once fails to be written, and the question
// comes. A recovery folder that stopped answering, whether the write began before the close or with it: the close
// waits a few seconds with the show's thread going on, counts the write as failed and asks; once the folder
// answers, the close is silent.
TEST_F(ConsoleTest, AClosingWritesTheNewestEditsFirstAndAsksWhereTheyAreInNoFile)
{
    const auto rename = [&](const QString& name) {
        Show renamed = engine().show();
        renamed.cues[0].name = name;
        engine().setShow(renamed);
    };
    const auto copyHolds = [](const QString& file, const QString& name) {
        try {
            return readShowFile(file).cues[0].name == name;
        } catch (const ProjectFileError&) {
            return false;
        }
    };
    QuitQuestions questions(QMessageBox::Cancel);
    StallableMount share(folder.filePath("backing"), recoveryDirectory(), folder.filePath("stall"));
    app.reset();
    QDir(recoveryDirectory()).removeRecursively();
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    start();
    app->consoleWindow().show();
    const QString copy = share.backing() + "/Recovery.json";
    Heartbeat heartbeat;
    for (const bool writeBegun : {false, true}) {
        SCOPED_TRACE(writeBegun ? "the write hangs as the close comes" : "the close brings the write");
        rename(QStringLiteral("停顿前的修改 %1").arg(writeBegun));
        ASSERT_TRUE(waitUntil([&] { return copyHolds(copy, QStringLiteral("停顿前的修改 %1").arg(writeBegun)); }));
        share.stall();
        rename(QStringLiteral("停顿后的修改 %1").arg(writeBegun));
        if (writeBegun)
            ASSERT_TRUE(waitUntil([] { return StallableMount::holdsAThreadOf(QCoreApplication::applicationPid()); }));
        questions.shot = writeBegun ? QString("console-quit-asks-recovery-folder-silent") : QString();
        heartbeat.restart();
        EXPECT_FALSE(app->consoleWindow().close()) << "the operator chose to stay";
        EXPECT_LT(heartbeat.longestGapMs(), 500) << "the close held the show's thread";
        ASSERT_EQ(questions.asked.size(), 1);
        EXPECT_TRUE(questions.asked.takeFirst().contains("“Recovery.json”所在的文件夹没有响应"));
        share.answer();
        EXPECT_TRUE(waitUntil([&] { return copyHolds(copy, QStringLiteral("停顿后的修改 %1").arg(writeBegun)); }));
    }
    EXPECT_TRUE(app->consoleWindow().close()) << "the newest edits are in the copy";
    EXPECT_EQ(questions.asked, QStringList{});

    if (geteuid() != 0)
        GTEST_SKIP() << "a full disk is a small tmpfs, which only root mounts";
    app.reset();
    QProcess::execute("umount", {"-l", recoveryDirectory()});
    QDir(recoveryDirectory()).removeRecursively();
    QDir().mkpath(recoveryDirectory());
    ASSERT_EQ(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", recoveryDirectory()}), 0);
    const auto unmount = qScopeGuard([&] {
        app.reset();
        QProcess::execute("umount", {"-l", recoveryDirectory()});
    });
    start();
    rename("磁盘满之前的修改");
    ASSERT_TRUE(waitUntil([&] { return copyHolds(recoveryFile(), "磁盘满之前的修改"); }));
    QFile filler(recoveryDirectory() + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) > 0 && filler.flush()) {
    }
    filler.close();
    rename("磁盘满之后的修改");
    app->consoleWindow().show();
    EXPECT_FALSE(app->consoleWindow().close()) << "the operator chose to stay";
    ASSERT_EQ(questions.asked.size(), 1);
    EXPECT_TRUE(questions.asked[0].contains("磁盘空间不足")) << questions.asked[0].toStdString();
    EXPECT_TRUE(copyHolds(recoveryFile(), "磁盘满之前的修改")) << "the good copy was harmed";
    questions.answerWith(QMessageBox::Discard);
    EXPECT_TRUE(app->consoleWindow().close()) << "the operator let the edit go";
}

// Ctrl+S into a folder that stops answering: the console shows the save on its way and that it waits on the folder,
// and once the folder answers, the saved mark and "已保存".
TEST_F(ConsoleTest, ASaveWaitingOnItsFolderIsShownAndLandsAsSaved)
{
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QUrl file = QUrl::fromLocalFile(share.mount() + "/show.json");
    ASSERT_EQ(ProjectFileWait::save(engine(), file), std::nullopt);
    Show renamed = engine().show();
    renamed.cues[0].name = "停顿前的修改";
    engine().setShow(renamed);
    auto* badge = view().header()->findChild<QLabel*>("saveBadge");
    ASSERT_NE(badge, nullptr);
    EXPECT_EQ(badge->text(), "未保存");
    EXPECT_FALSE(view().statusBar()->showsFileProgress());

    share.stall();
    engine().saveProject(file);
    EXPECT_TRUE(view().statusBar()->showsFileProgress());
    EXPECT_TRUE(waitUntil([&] { return engine().message().contains("“show.json”所在的文件夹没有响应，仍在等待"); }))
        << engine().message().toStdString();
    EXPECT_EQ(badge->text(), "未保存");
    app->consoleWindow().show();
    saveShot(app->consoleWindow(), "console-save-waits-on-its-folder");

    share.answer();
    EXPECT_TRUE(waitUntil([&] { return badge->text() == "已保存"; }));
    EXPECT_EQ(engine().message(), "已保存 · show.json");
    EXPECT_FALSE(view().statusBar()->showsFileProgress());

    // A quit just after Ctrl+S lets the save land when its folder answers in time.
    renamed.cues[0].name = "退出前保存";
    engine().setShow(renamed);
    share.stall();
    engine().saveProject(file);
    QTimer::singleShot(1500, [&] { share.answer(); });
    view().applicationWillTerminate();
    EXPECT_EQ(engine().message(), "已保存 · show.json");
    EXPECT_FALSE(engine().hasUnsavedChanges());
    EXPECT_EQ(readShowFile(share.backing() + "/show.json").cues[0].name, "退出前保存");
}

// An open from a folder that stops answering shows "取消" beside its progress; pressed, the open is given up and the
// show stays as it was, also once the folder answers.
TEST_F(ConsoleTest, AnOpenWaitingOnItsFolderIsGivenUpByTheCancelBesideItsProgress)
{
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    writeShowFile(Show::makeDefault(), share.backing() + "/other.json", JsonFormat::pretty);
    Show renamed = engine().show();
    renamed.cues[0].name = "打开前的修改";
    engine().setShow(renamed);
    auto* cancel = view().statusBar()->findChild<QAbstractButton*>("cancelProjectFile");
    ASSERT_NE(cancel, nullptr);
    app->consoleWindow().show();

    share.stall();
    engine().openProject(QUrl::fromLocalFile(share.mount() + "/other.json"));
    EXPECT_TRUE(waitUntil([&] { return engine().message().contains("“other.json”所在的文件夹没有响应，仍在等待"); }));
    EXPECT_TRUE(cancel->isVisible() && cancel->isEnabled());
    saveShot(app->consoleWindow(), "console-open-waits-with-cancel");

    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(engine().message(), "已取消打开 · other.json");
    EXPECT_FALSE(view().statusBar()->showsFileProgress() || cancel->isVisible());
    share.answer();
    EXPECT_TRUE(waitUntil([&] { return engine().projectFiles().givenUpOnTheWay() == 0; }));
    EXPECT_EQ(engine().show(), renamed);
}

TEST_F(ConsoleTest, TheConsoleStartsOverBadSettingsAndAnUnusableRecoveryFolderAndSaysSo)
{
    {
        QSettings stored(settingsFile(), QSettings::IniFormat);
        stored.setValue("showsLumoTooltips", "maybe");
        stored.setValue("autoOpenProjectionMonitor", false);
    }
    app.reset();
    QDir(recoveryDirectory()).removeRecursively();
    QFile blocker(recoveryDirectory());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    start();

    EXPECT_TRUE(app->settings().showsLumoTooltips());
    EXPECT_FALSE(app->settings().autoOpenProjectionMonitor());
    const QString message = engine().message();
    EXPECT_TRUE(message.contains("无法创建恢复文件夹")) << message.toStdString();
    EXPECT_TRUE(message.contains("showsLumoTooltips")) << message.toStdString();
    view().applicationWillTerminate(); // a failing write at quit is no crash
}

TEST_F(ConsoleTest, TheStatusLineShowsTheMessageOnOneLineAndTheRunState)
{
    ConsoleWindow& window = app->consoleWindow();
    window.resize(1080, 720);
    window.show();
    engine().setMessage(QString("无法打开工程 · ").repeated(40));
    ConsoleStatusBar* bar = view().statusBar();
    EXPECT_TRUE(bar->message().endsWith(QChar(0x2026)));
    EXPECT_LT(bar->height(), 2 * bar->fontMetrics().height() + 16);
    EXPECT_EQ(bar->runState(), "待机");
    saveShot(window, "console-frame");
}

TEST_F(ConsoleTest, CtrlZInATextFieldUndoesTheTypingAndElsewhereTheShowsEdit)
{
    ConsoleWindow& window = app->consoleWindow();
    auto* field = new QLineEdit(view().inspector());
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const Show original = engine().show();
    Show renamed = original;
    renamed.cues[0].name = "开场前";
    engine().setShow(renamed);

    field->setFocus();
    QTest::keyClicks(field, "abc");
    QTest::keyClick(field, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(engine().show(), renamed);

    view().setFocus();
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(engine().show(), original);
}

TEST_F(ConsoleTest, AWindowLeftWithoutADisplayComesBackToThePrimaryOne)
{
    ConsoleWindow& window = app->consoleWindow();
    window.show();
    app->openWindow("user-guide");
    QWidget* guide = app->singleWindows().window("user-guide");
    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    guide->move(primary.right() + 4000, 0);
    app->keepWindowsOnScreens();
    EXPECT_TRUE(primary.contains(guide->frameGeometry().center()));
    EXPECT_TRUE(engine().message().startsWith("显示器已断开"));
}

// A window opens at its default size where the display's free area holds it with its frame, else as large as fits
// and never below its minimum, its title bar on the display.
TEST(WindowPlacement, TheDefaultSizeWhereItFitsElseTheLargestThatDoes)
{
    const QSize console(1320, 850);
    const QSize smallest(1080, 720);
    const QMargins titleBar(0, 30, 0, 0);
    struct Case
    {
        QRect available;
        WindowPlacement expected;
    };
    const Case cases[] = {
        // A display of the console's minimum size: the minimum, from the display's top left.
        {{0, 0, 1080, 720}, {{1080, 720}, {0, 0}}},
        // A large display under a panel: the default size, centred below the panel.
        {{0, 27, 1920, 1053}, {{1320, 850}, {300, 113}}},
        // A laptop panel right of the primary display: as tall as fits, the width it asks for.
        {{1920, 0, 1366, 768}, {{1320, 738}, {1943, 0}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WindowPlacement::fitted(console, smallest, c.available, titleBar), c.expected)
            << c.available.width() << "x" << c.available.height();
    EXPECT_EQ(WindowPlacement::fitted({760, 620}, {620, 420}, {0, 0, 1080, 720}, titleBar),
              (WindowPlacement{{760, 620}, {160, 35}}));
}

// On a display smaller than the console's default size (the headless test display), the console and every single
// window open within the display's free area as far as their minimum allows, their title bars on it.
TEST_F(ConsoleTest, WindowsOpenWithinADisplaySmallerThanTheirDefaultSize)
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_TRUE(available.width() < 1320 || available.height() < 850) << "the test display is larger than assumed";
    ConsoleWindow& window = app->consoleWindow();
    app->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect frame = window.frameGeometry();
    // Smaller than the default where the display is, as large as the display where the minimum allows.
    EXPECT_TRUE(window.width() < 1320 || window.height() < 850);
    EXPECT_GE(window.width(), 1080);
    EXPECT_GE(window.height(), 720);
    EXPECT_TRUE(available.contains(frame.topLeft())) << frame.x() << "," << frame.y();
    if (available.height() >= 720) {
        EXPECT_LE(frame.bottom(), available.bottom());
    }
    if (available.width() >= 1080) {
        EXPECT_LE(frame.right(), available.right());
    }

    for (const QString id : {"user-guide", "projector-mapping", "projection-monitor", "remote-control"}) {
        SCOPED_TRACE(id.toStdString());
        app->openWindow(id);
        QWidget* single = app->singleWindows().window(id);
        ASSERT_TRUE(single && QTest::qWaitForWindowExposed(single));
        const QRect placed = single->frameGeometry();
        EXPECT_TRUE(available.contains(placed.topLeft()));
        // Within the free area wherever the minimum allows it.
        if (single->minimumHeight() <= available.height()) {
            EXPECT_LE(placed.bottom(), available.bottom());
        }
        if (single->minimumWidth() <= available.width()) {
            EXPECT_LE(placed.right(), available.right());
        }
    }
}

// A name of millions of characters from a hand-made file is cut before any label or list row lays it out.
TEST_F(ConsoleTest, AHugeCueNameIsCutBeforeItIsLaidOut)
{
    Show show = engine().show();
    show.cues[0].name = QStringLiteral("很长的名字").repeated(400000);
    engine().setShow(show);
    ASSERT_TRUE(engine().take(engine().show().cues[0]));
    auto* current = view().findChild<ElidedLabel*>("currentCue");
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->text().size(), kLongestShownText);
    EXPECT_TRUE(current->text().startsWith(QStringLiteral("当前 · 很长的名字很长的名字")));
    EXPECT_TRUE(current->text().endsWith(QChar(0x2026)));
    app->consoleWindow().resize(1600, 1000);
    saveShot(app->consoleWindow(), "console-huge-cue-name");
}

// Qt's own file panel and message box buttons speak Chinese, whatever the system's locale.
TEST_F(ConsoleTest, QtsOwnDialogsSpeakChinese)
{
    QFileDialog panel(&app->consoleWindow(), QStringLiteral("保存工程"), folder.path());
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setAcceptMode(QFileDialog::AcceptSave);
    panel.resize(720, 440);
    panel.show();
    QApplication::processEvents();
    QStringList texts;
    for (QLabel* label : panel.findChildren<QLabel*>())
        texts << label->text();
    for (QAbstractButton* button : panel.findChildren<QAbstractButton*>())
        texts << button->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("取消"))) << texts.join(" | ").toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Cancel")) || texts.contains(QStringLiteral("Look in:")))
        << texts.join(" | ").toStdString();
    saveShot(panel, "file-panel-chinese");
    EXPECT_EQ(QMessageBox(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No)
                  .button(QMessageBox::No)
                  ->text()
                  .remove(QLatin1Char('&')),
              QStringLiteral("否(N)"));
}

// The media panel's request as the panel program fills it in: its type filters for the kinds asked.
static FilePanelRequest mediaPanelAsItsProgramShowsIt()
{
    FilePanelRequest request = mediaPanelRequest({AssetKind::image, AssetKind::video, AssetKind::audio}, true);
    request.nameFilters = assetNameFilters({AssetKind::image, AssetKind::video, AssetKind::audio});
    return request;
}

// The media panel's type list names each kind of file and keeps to a width the console's screen holds.
TEST_F(ConsoleTest, MediaPanelOffersItsFileTypesByKindInChinese)
{
    QFileDialog panel(&app->consoleWindow());
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setDirectory(folder.path());
    mediaPanelAsItsProgramShowsIt().applyTo(panel);
    panel.show();
    QApplication::processEvents();
    auto* types = panel.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i)
        shown << types->itemText(i);
    EXPECT_EQ(shown, QStringList({"所有媒体", "图片", "视频", "音频"}));
    const QStringList filters = panel.nameFilters();
    ASSERT_EQ(filters.size(), 4);
    EXPECT_TRUE(filters[0].contains("*.png") && filters[0].contains("*.mp4") && filters[0].contains("*.wav"));
    EXPECT_TRUE(filters[1].contains("*.png") && !filters[1].contains("*.mp4"));
    EXPECT_TRUE(filters[2].contains("*.mp4") && !filters[2].contains("*.wav"));
    EXPECT_TRUE(filters[3].contains("*.wav") && !filters[3].contains("*.png"));
    EXPECT_LT(panel.minimumSizeHint().width(), 1080 / 2);
    QStringList buttons;
    for (QAbstractButton* button : panel.findChildren<QAbstractButton*>())
        buttons << button->text();
    EXPECT_TRUE(buttons.contains(QStringLiteral("取消"))) << "Qt's own texts stay Chinese";
    panel.resize(720, 440);
    saveShot(panel, "media-panel-file-types");
}

// The media panel's details list writes every column in Chinese: the kind of each file, its size and its date, as
// the console's locale writes them, whatever the system's locale says.
TEST_F(ConsoleTest, TheMediaPanelsDetailsAreWrittenInChinese)
{
    for (const auto& [name, bytes] : {std::pair{QStringLiteral("tiny.png"), 100}, {QStringLiteral("clip.mp4"), 5000}}) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
    }
    QFileDialog panel(&app->consoleWindow());
    panel.setOption(QFileDialog::DontUseNativeDialog);
    panel.setDirectory(folder.path());
    mediaPanelAsItsProgramShowsIt().applyTo(panel);
    panel.setViewMode(QFileDialog::Detail);
    panel.resize(760, 440);
    panel.show();
    auto* list = panel.findChild<QTreeView*>(QStringLiteral("treeView"));
    ASSERT_NE(list, nullptr);
    auto row = [&](const QString& name) -> QStringList {
        const QModelIndex root = list->rootIndex();
        for (int i = 0; i < list->model()->rowCount(root); ++i)
            if (list->model()->index(i, 0, root).data().toString() == name) {
                QStringList columns;
                for (int column = 0; column < 4; ++column)
                    columns << list->model()->index(i, column, root).data().toString();
                return columns;
            }
        return {};
    };
    ASSERT_TRUE(waitUntil([&] { return !row("tiny.png").isEmpty() && !row("clip.mp4").isEmpty(); }));
    const QStringList picture = row("tiny.png");
    const QStringList video = row("clip.mp4");
    EXPECT_EQ(picture[1], QStringLiteral("100 字节"));
    EXPECT_EQ(picture[2], QStringLiteral("PNG 图像"));
    EXPECT_EQ(video[2], QStringLiteral("MPEG-4 视频"));
    const QDateTime written = QFileInfo(folder.filePath("clip.mp4")).lastModified();
    EXPECT_EQ(video[3], QLocale(QLocale::Chinese, QLocale::China).toString(written, QLocale::ShortFormat));
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{1,2}:\\d{2}$")).match(video[3]).hasMatch())
        << video[3].toStdString();
    saveShot(panel, "media-panel-details");
}

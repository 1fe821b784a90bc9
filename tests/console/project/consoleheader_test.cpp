#include "consolefixture.h"
#include "consoleheader.h"
#include "elidedlabel.h"
#include "lumomarkview.h"
#include "mediafixtures.h"
#include "projectfilewait.h"
#include "projectionlaunch.h"
#include "sectionfixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class HeaderTest : public SectionTest
{
  protected:
    QString title() { return header.findChild<ElidedLabel*>("showTitle")->text(); }
    QString badge() { return header.findChild<QLabel*>("saveBadge")->text(); }
    QAction* menuItem(const QString& text)
    {
        for (QAction* action : header.findChild<QPushButton*>("projectMenu")->menu()->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }
    // Clicks or chooses, and waits for the file read or written on the way.
    void click(const QString& text)
    {
        button(header, text)->click();
        waitForTheFile();
    }
    void choose(const QString& item, std::optional<QUrl> answer)
    {
        chooser.answer = std::move(answer);
        menuItem(item)->trigger();
        waitForTheFile();
    }
    void waitForTheFile()
    {
        EXPECT_TRUE(waitUntil([&] { return !engine->projectFiles().busy(); }));
    }
    void rename(const QString& name)
    {
        edit([&](Show& show) { show.cues[0].name = name; });
    }
    void writeShow(const QString& name, const QString& firstCue)
    {
        Show show = Show::makeDefault();
        show.cues[0].name = firstCue;
        writeShowFile(show, path(name), JsonFormat::pretty);
    }

    ConsoleHeader header{*state, chooser, windowOpener()};
};

TEST_F(HeaderTest, TitleAndBadgeFollowTheProjectFile)
{
    EXPECT_EQ(title(), "Lumoria");
    EXPECT_EQ(badge(), "新工程");
    rename("改");
    EXPECT_EQ(badge(), "未保存");
    choose("另存为…", url("春晚.final.json"));
    EXPECT_EQ(title(), "春晚.final");
    EXPECT_EQ(badge(), "已保存");
    // With room beside it the whole name shows, however its advances round.
    choose("另存为…", url("我的 演出.v2.json"));
    header.resize(1320, header.sizeHint().height());
    header.show();
    EXPECT_EQ(header.findChild<ElidedLabel*>("showTitle")->shownText(), "我的 演出.v2");
    choose("另存为…", url(QString("很长的工程名").repeated(30) + ".json"));
    EXPECT_LT(header.minimumSizeHint().width(), 1080 - 24);
}

TEST_F(HeaderTest, SaveWritesInPlaceOnceTheShowHasAFile)
{
    chooser.answer = std::nullopt;
    click("保存");
    EXPECT_EQ(chooser.presets, QStringList{"演出工程.json"});
    EXPECT_EQ(engine->message(), "就绪");

    chooser.answer = url("show.json");
    click("保存");
    EXPECT_EQ(engine->projectURL(), url("show.json"));
    rename("改");
    click("保存");
    EXPECT_EQ(chooser.presets.size(), 2);
    EXPECT_EQ(readShowFile(path("show.json")).cues[0].name, "改");
    EXPECT_FALSE(engine->hasUnsavedChanges());

    choose("另存为…", std::nullopt);
    EXPECT_EQ(chooser.presets.last(), path("show.json"));
}

TEST_F(HeaderTest, FailedSaveKeepsTheShowUnsavedAndSaysWhy)
{
    QFile(path("plain")).open(QIODevice::WriteOnly);
    rename("改");
    chooser.answer = url("plain/show.json");
    click("保存");
    EXPECT_TRUE(engine->message().startsWith("保存失败 · ")) << engine->message().toStdString();
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->projectURL());
    EXPECT_EQ(badge(), "未保存");
}

TEST_F(HeaderTest, BadProjectFilesChangeNothing)
{
    rename("未保存的工作");
    const Show before = engine->show();
    QFile notJson(path("notjson.json"));
    notJson.open(QIODevice::WriteOnly);
    notJson.write("not json");
    notJson.close();
    QFile notShow(path("notshow.json"));
    notShow.open(QIODevice::WriteOnly);
    notShow.write(R"({"cues": 3})");
    notShow.close();
    for (const QString name : {"notjson.json", "notshow.json", "vanished.json"}) {
        SCOPED_TRACE(name.toStdString());
        choose("打开工程…", url(name));
        EXPECT_TRUE(engine->message().startsWith("无法打开工程 · ")) << engine->message().toStdString();
        EXPECT_EQ(engine->show(), before);
        EXPECT_TRUE(engine->hasUnsavedChanges());
        EXPECT_EQ(title(), "Lumoria");
        EXPECT_FALSE(menuItem("恢复未保存工程")->isVisible());
    }
}

TEST_F(HeaderTest, OpeningOverUnsavedWorkOffersItBack)
{
    writeShow("other.json", "别的工程");
    EXPECT_FALSE(menuItem("恢复未保存工程")->isVisible());
    rename("未保存的工作");
    state->setScreenPage(1);
    choose("打开工程…", url("other.json"));
    EXPECT_EQ(title(), "other");
    EXPECT_EQ(badge(), "已保存");
    EXPECT_EQ(state->screenPage(), 0);
    QAction* recover = menuItem("恢复未保存工程");
    EXPECT_TRUE(recover->isVisible());
    EXPECT_TRUE(recover->isEnabled());
    click("保存");
    EXPECT_TRUE(recover->isVisible());

    rename("别的工程改");
    EXPECT_FALSE(recover->isEnabled());
    engine->editHistory()->undo();
    EXPECT_TRUE(recover->isEnabled());

    recover->trigger();
    waitForTheFile();
    EXPECT_EQ(engine->show().cues[0].name, "未保存的工作");
    EXPECT_EQ(title(), "Lumoria");
    EXPECT_EQ(badge(), "未保存");
    EXPECT_EQ(engine->message(), "已恢复未保存工程");
    EXPECT_FALSE(recover->isVisible());
}

TEST_F(HeaderTest, RelinkLooksInTheChosenFolder)
{
    const QString still = MediaFixtures::png();
    edit([&](Show& show) { show.cues[0].main = url(QFileInfo(still).fileName()); });
    const QString before = engine->message();
    choose("重新定位缺失素材…", std::nullopt);
    EXPECT_EQ(chooser.relinks, 1);
    EXPECT_EQ(engine->message(), before);

    choose("重新定位缺失素材…", url("empty"));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("未找到同名的缺失素材"); }));
    choose("重新定位缺失素材…", QUrl::fromLocalFile(QFileInfo(still).path()));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == QStringLiteral("已重新定位 1 项素材引用"); }));
    EXPECT_EQ(engine->show().cues[0].main, QUrl::fromLocalFile(still));
}

TEST_F(HeaderTest, StartButtonsFollowTheModeTheSelectionAndARun)
{
    struct Case
    {
        ProjectionMode mode;
        bool selection;
        bool cues;
        bool running;
        bool enabled;
    };
    const QList<Case> cases{
        {ProjectionMode::cueOnce, true, true, false, true},
        {ProjectionMode::cueLoop, false, true, false, false},
        {ProjectionMode::playlistOnce, false, true, false, true},
        {ProjectionMode::playlistLoop, false, false, false, false},
        {ProjectionMode::playlistOnce, true, true, true, false},
    };
    auto* mode = header.findChild<QComboBox*>();
    for (const Case& c : cases) {
        SCOPED_TRACE(rawValue(c.mode).toStdString() + (c.selection ? " selected" : "") + (c.cues ? " cues" : "") +
                     (c.running ? " running" : ""));
        engine->stop(true);
        edit([&](Show& show) { show.cues = c.cues ? Show::makeDefault().cues : QList<Cue>{}; });
        if (c.selection)
            select(0);
        else
            engine->setSelected(std::nullopt);
        state->setProjectionMode(c.mode);
        if (c.running) {
            ASSERT_TRUE(engine->beginProjection(c.mode, state->selection()));
        }
        EXPECT_EQ(button(header, "投放检查")->isEnabled(), c.enabled);
        EXPECT_EQ(button(header, "开始投放")->isEnabled(), c.enabled);
        EXPECT_EQ(mode->isEnabled(), !c.running);
        EXPECT_EQ(menuItem("打开工程…")->isEnabled(), !c.running);
        EXPECT_EQ(mode->currentText(), rawValue(c.mode));
    }
}

TEST_F(HeaderTest, StartGoesStraightOnWhenTheCheckFindsNothing)
{
    select(0);
    for (const bool autoOpen : {false, true}) {
        SCOPED_TRACE(autoOpen);
        engine->stop(true);
        openedWindows.clear();
        button<QCheckBox>(header, "自动监看")->setChecked(autoOpen);
        state->setPreviewMode(true);
        click("开始投放");
        EXPECT_TRUE(engine->projectionMode());
        EXPECT_FALSE(state->previewMode());
        EXPECT_FALSE(state->preflightOpen());
        EXPECT_EQ(openedWindows, autoOpen ? QStringList{"projection-monitor"} : QStringList{});
    }
    EXPECT_TRUE(settings.autoOpenProjectionMonitor());
}

// A run whose files have not answered yet waits for them: the monitors turn to what is on air, and the run's
// monitor window opens, only once it has started, never for a run refused when the answers come (its file is gone).
// The same starts with the answers in at once end the same.
TEST_F(HeaderTest, TheMonitorOpensOnlyForARunThatStarted)
{
    const QString share = path("share");
    ASSERT_TRUE(QDir().mkpath(share));
    button<QCheckBox>(header, "自动监看")->setChecked(true);
    ProjectionLaunch launch(*state, windowOpener());
    for (const bool present : {false, true})
        for (const bool held : {false, true}) {
            SCOPED_TRACE(std::string(present ? "a file that is there" : "a file that is gone") +
                         (held ? ", answers held back" : ", answers in at once"));
            engine->stop(true);
            openedWindows.clear();
            state->setPreviewMode(true);
            // A file of its own each round, never asked before.
            const QString file = share + QStringLiteral("/%1-%2.png").arg(present).arg(held);
            if (present)
                ASSERT_TRUE(QFile::copy(MediaFixtures::png(), file));
            if (held)
                stalled->stall(share);
            Show show = engine->show();
            show.cues[1].main = QUrl::fromLocalFile(file);
            engine->setShow(show);
            if (!held)
                awaitMediaAnswers(*engine);
            select(1);
            launch.startProjection();
            if (held) {
                EXPECT_EQ(openedWindows, QStringList{}) << "opened for a run that had not started";
                EXPECT_TRUE(state->previewMode());
                stalled->release();
            }
            ASSERT_TRUE(waitUntil([&] { return engine->projectionMode() || !engine->message().startsWith("正在"); }));
            EXPECT_EQ(engine->projectionMode().has_value(), present) << engine->message().toStdString();
            EXPECT_EQ(openedWindows, present ? QStringList{"projection-monitor"} : QStringList{});
            EXPECT_EQ(state->previewMode(), !present);
        }
}

TEST_F(HeaderTest, StartWithFindingsOpensTheCheckFirst)
{
    edit([&](Show& show) { show.cues[0].main = QUrl::fromLocalFile(MediaFixtures::png()); });
    select(0);
    click("开始投放");
    EXPECT_TRUE(state->preflightOpen());
    EXPECT_TRUE(state->launchAfterCheck());
    EXPECT_FALSE(engine->projectionMode());

    state->setPreflightOpen(false);
    click("投放检查");
    EXPECT_TRUE(state->preflightOpen());
    EXPECT_FALSE(state->launchAfterCheck());
}

TEST_F(HeaderTest, WindowButtonsOpenTheirWindows)
{
    click("投放监看");
    click("userGuide");
    menuItem("移动遥控…")->trigger();
    EXPECT_EQ(openedWindows, QStringList({"projection-monitor", "user-guide", "remote-control"}));
}

TEST_F(HeaderTest, AssistiveTechnologyPassesOverTheMark)
{
    header.show();
    auto* mark = header.findChild<LumoMark*>();
    ASSERT_NE(mark, nullptr);
    QAccessibleInterface* markInterface = QAccessible::queryAccessibleInterface(mark);
    ASSERT_NE(markInterface, nullptr);
    EXPECT_TRUE(markInterface->state().invisible);
    EXPECT_TRUE(markInterface->text(QAccessible::Name).isEmpty());
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(header.findChild<QComboBox*>())->state().invisible);
}

// At the smallest window the header still shows every control whole, side by side; Ctrl+S saves from there.
TEST_F(ConsoleTest, TheHeaderFitsTheSmallestWindowAndControlSSavesTheShow)
{
    ConsoleWindow& window = app->consoleWindow();
    window.resize(window.minimumSize());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QString file = folder.filePath("show.json");
    ASSERT_EQ(ProjectFileWait::save(engine(), QUrl::fromLocalFile(file)), std::nullopt);
    Show show = engine().show();
    show.cues[0].name = "改";
    engine().setShow(show);

    QWidget* bar = view().header()->parentWidget();
    QApplication::processEvents();
    QList<QRect> taken;
    for (const QAbstractButton* control : view().header()->findChildren<QAbstractButton*>()) {
        if (!control->isVisibleTo(bar))
            continue;
        const QRect place(control->mapTo(bar, QPoint(0, 0)), control->size());
        EXPECT_TRUE(bar->rect().contains(place)) << control->objectName().toStdString();
        EXPECT_GE(control->width(), control->sizeHint().width()) << control->objectName().toStdString();
        for (const QRect& other : taken)
            EXPECT_FALSE(place.intersects(other)) << control->objectName().toStdString();
        taken.append(place);
    }
    EXPECT_GE(taken.size(), 5);
    saveShot(*bar, "console-header");

    QTest::keyClick(window.windowHandle(), Qt::Key_S, Qt::ControlModifier);
    // A button's shortcut plays a short press before it clicks.
    EXPECT_TRUE(waitUntil([&] { return !engine().hasUnsavedChanges(); }));
    EXPECT_EQ(readShowFile(file).cues[0].name, "改");
}

#include "displaypreview.h"
#include "picture.h"
#include "projectionmonitor.h"
#include "projectionmonitorcell.h"
#include "screenmonitorlabel.h"
#include "screensfixture.h"

#include <QGridLayout>
#include <QPushButton>

TEST(ScreenMonitorLabel, NamesWhatTheScreenShows)
{
    const QUrl base = QUrl::fromLocalFile("/show/底图.png");
    const QUrl clip = QUrl::fromLocalFile("/show/片段.mp4");
    struct Case
    {
        const char* name;
        bool black;
        std::optional<QUrl> url;
        std::optional<std::optional<QUrl>> foreground;
        bool fallback, standby;
        QString text;
    };
    const QList<Case> cases{
        {"black wins", true, base, {}, true, true, "黑场"},
        {"its own file", false, base, {}, true, false, "底图.png"},
        {"the foreground's file", false, base, clip, false, false, "片段.mp4"},
        {"an empty foreground hides the base file", false, base, std::optional<QUrl>{}, false, false, "无画面"},
        {"the default picture", false, {}, {}, true, false, "默认画面"},
        {"the standby artwork", false, {}, {}, false, true, "默认画面"},
        {"nothing", false, {}, {}, false, false, "无画面"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture(fakePlayers());
        Picture foreground(fakePlayers());
        picture.load(c.url);
        if (c.foreground) {
            foreground.load(*c.foreground);
            picture.setForeground(&foreground);
        }
        if (c.fallback)
            picture.setFallback(QImage(4, 4, QImage::Format_RGB32));
        picture.setShowsStandby(c.standby);
        EXPECT_EQ(ScreenMonitorLabel::captionFor(&picture, c.black), c.text);
    }
}

TEST(ScreenMonitorLabel, FollowsAnIndependentPlaybackButNotItsBlack)
{
    Picture screen(fakePlayers());
    Picture independent(fakePlayers());
    ScreenMonitorLabel label(&screen);
    EXPECT_EQ(label.text(), "无画面");
    independent.load(QUrl::fromLocalFile("/show/独立.png"));
    screen.setIndependentOutput(&independent);
    EXPECT_EQ(label.text(), "独立.png");
    independent.setBlack(true);
    EXPECT_EQ(label.text(), "独立.png");
    screen.setBlack(true);
    EXPECT_EQ(label.text(), "黑场");
}

TEST(DisplayPreview, TakesTheShapeOfTheBoundDisplay)
{
    struct Case
    {
        std::optional<DisplayScreen> display;
        QSize shown;
    };
    const DisplayScreen portrait{1, "p", "p", {0, 0, 1080, 1920}, {1080, 1920}};
    for (const Case& c : QList<Case>{{std::nullopt, {400, 225}}, {portrait, {135, 240}}}) {
        DisplayPreview preview(nullptr, c.display, c.display.has_value());
        preview.resize(400, 240);
        EXPECT_EQ(preview.contentRect().size(), c.shown);
    }
}

class ProjectionMonitorTest : public ScreensTest
{
  protected:
    ProjectionMonitorTest()
    {
        edit([](Show& show) { show.cues.clear(); });
        monitor.resize(860, 410);
        monitor.show();
    }
    QPushButton* runButton(const QString& name)
    {
        for (QPushButton* found : monitor.findChildren<QPushButton*>())
            if ((found->text() == name || found->objectName() == name) && found->isVisible())
                return found;
        return nullptr;
    }
    QPoint gridPlace(int cell)
    {
        auto* grid = monitor.findChild<QGridLayout*>();
        int row = -1, column = -1, rows, columns;
        grid->getItemPosition(grid->indexOf(monitor.cells().at(cell)), &row, &column, &rows, &columns);
        return {column, row};
    }

    ProjectionMonitor monitor{*engine};
};

TEST_F(ProjectionMonitorTest, HeaderShowsTheRunAndItsButtons)
{
    EXPECT_EQ(monitor.title(), "当前无节目");
    EXPECT_EQ(monitor.subtitle(), "");
    EXPECT_EQ(runButton("toggleRunPause"), nullptr);
    EXPECT_EQ(runButton("停止投放"), nullptr);

    stillCue("开场", Qt::darkCyan);
    stillCue("结尾", Qt::darkRed);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    EXPECT_EQ(monitor.title(), "开场");
    EXPECT_EQ(monitor.subtitle(), "节目单播放一次 · " + engine->projectionPosition());
    engine->togglePause();
    ASSERT_NE(runButton("继续投放"), nullptr);
    runButton("继续投放")->click();
    EXPECT_FALSE(engine->paused());
    ASSERT_NE(runButton("暂停投放"), nullptr);

    runButton("停止投放")->click();
    EXPECT_FALSE(engine->projectionMode());
    EXPECT_EQ(monitor.title(), "当前无节目");
    EXPECT_EQ(runButton("停止投放"), nullptr);
}

TEST_F(ProjectionMonitorTest, GridHasTwoColumnsFromTwoScreensOn)
{
    EXPECT_EQ(monitor.columns(), 1);
    giveScreens(3);
    EXPECT_EQ(monitor.columns(), 2);
    EXPECT_EQ(gridPlace(0), QPoint(0, 0));
    EXPECT_EQ(gridPlace(1), QPoint(1, 0));
    EXPECT_EQ(gridPlace(2), QPoint(0, 1));
}

TEST_F(ProjectionMonitorTest, CellsShowCorrectedOutputWithoutABinding)
{
    giveScreens(2);
    ProjectorMapping mapping = engine->mapping(kScreen2);
    mapping.enabled = true;
    engine->setMapping(mapping, kScreen2);
    EXPECT_EQ(monitor.cells().at(0)->content(), ProjectionMonitorCell::Content::picture);
    EXPECT_EQ(monitor.cells().at(1)->content(), ProjectionMonitorCell::Content::mapped);
}

TEST_F(ProjectionMonitorTest, ShotOfTwoScreensPlayingAStill)
{
    giveScreens(2);
    connectDisplays({display(1), display(2, {1080, 1920})});
    engine->bind(kScreen2, 2);
    Cue cue = stillCue("开场", QColor(20, 140, 160));
    cue.side = QUrl::fromLocalFile(MediaFixtures::png({180, 320}, QColor(200, 120, 40)));
    edit([&](Show& show) { show.cues.last() = cue; });
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, engine->show().cues.last()));
    ASSERT_TRUE(waitUntil([&] { return engine->program(kScreen2)->image().has_value(); }));
    runEvents(100);
    saveShot(monitor, "projection-monitor-two-screens");
}

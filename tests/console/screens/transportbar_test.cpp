#include "screensfixture.h"
#include "transportbar.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TransportBarTest : public ScreensTest
{
  protected:
    TransportBarTest()
    {
        edit([](Show& show) { show.cues.clear(); });
        for (const char* name : {"开场", "中场", "结尾"})
            stillCue(name, Qt::darkCyan);
        bar.resize(620, 120);
        bar.show();
    }
    bool enabled(const QString& title) { return button<QPushButton>(bar, title)->isEnabled(); }
    void pressGoKeys(Qt::Key key)
    {
        bar.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
        QTest::keyClick(bar.windowHandle(), key, Qt::ControlModifier);
    }

    TransportBar bar{*state};
};

TEST_F(TransportBarTest, ButtonsAreEnabledByTheSelectionTheRunAndTheNextCue)
{
    enum class OnAir { nothing, lastCue, run };
    struct Case
    {
        const char* name;
        std::optional<int> selected;
        OnAir onAir;
        bool play, preview, go, playTicked;
    };
    const QList<Case> cases{
        {"no selection", {}, OnAir::nothing, false, false, true, false},
        {"a selection", 1, OnAir::nothing, true, true, true, true},
        {"the last cue on air", 1, OnAir::lastCue, true, true, false, true},
        {"an automatic run", 0, OnAir::run, false, true, false, true},
    };
    state->setSelectedScreens({kScreen1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        engine->stop(true);
        engine->setSelected(std::nullopt);
        if (c.onAir == OnAir::lastCue) {
            ASSERT_TRUE(engine->take(engine->show().cues.last()));
        }
        if (c.onAir == OnAir::run) {
            ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, engine->show().cues.first()));
        }
        if (c.selected)
            select(*c.selected);
        EXPECT_EQ(enabled("播放节目"), c.play);
        EXPECT_EQ(enabled("预监所选"), c.preview);
        EXPECT_EQ(enabled("GO 下一条"), c.go);
        EXPECT_EQ(bar.goShortcutEnabled(), c.go);
        EXPECT_EQ(enabled("播放"), c.playTicked);
        EXPECT_TRUE(enabled("全部停止"));
        EXPECT_TRUE(button<QPushButton>(bar, "togglePause")->isEnabled());
    }
}

TEST_F(TransportBarTest, GoTakesTheNextCueFromTheKeyboardOnlyWhileItIsEnabled)
{
    state->setPreviewMode(true);
    pressGoKeys(Qt::Key_Return);
    ASSERT_TRUE(waitUntil([&] { return engine->current().has_value(); }));
    EXPECT_EQ(engine->current()->name, "开场");
    EXPECT_FALSE(state->previewMode());
    EXPECT_EQ(bar.currentText(), "当前 · 开场");

    pressGoKeys(Qt::Key_Enter);
    ASSERT_TRUE(waitUntil([&] { return engine->current()->name == "中场"; }));

    ASSERT_TRUE(engine->beginProjection(ProjectionMode::cueLoop, engine->show().cues.first()));
    pressGoKeys(Qt::Key_Return);
    runEvents(50);
    EXPECT_EQ(engine->current()->name, "开场");
}

TEST_F(TransportBarTest, MainRowActsOnTheSelectedCueAndSwitchesTheMonitors)
{
    EXPECT_EQ(bar.currentText(), "当前 · —");
    select(2);
    button<QPushButton>(bar, "预监所选")->click();
    EXPECT_TRUE(state->previewMode());
    EXPECT_FALSE(engine->current());
    button<QPushButton>(bar, "播放节目")->click();
    EXPECT_FALSE(state->previewMode());
    EXPECT_EQ(engine->current()->name, "结尾");

    auto* pause = button<QPushButton>(bar, "togglePause");
    EXPECT_EQ(pause->text(), "节目暂停");
    pause->click();
    EXPECT_TRUE(engine->paused());
    EXPECT_EQ(pause->text(), "节目继续");
    pause->click();
    EXPECT_EQ(pause->text(), "节目暂停");

    button<QPushButton>(bar, "屏幕黑场")->click();
    EXPECT_TRUE(engine->videoBlack());
    engine->setMuted(true);
    EXPECT_TRUE(button<QPushButton>(bar, "音频静音")->isChecked());

    button<QPushButton>(bar, "全部停止")->click();
    EXPECT_FALSE(engine->current());
    EXPECT_FALSE(state->previewMode());
}

// The mean colour of a widget as the bar paints it.
static QColor meanColour(QWidget& bar, QWidget* part)
{
    const QImage image = bar.grab(QRect(part->mapTo(&bar, QPoint()), part->size())).toImage();
    return image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixelColor(0, 0);
}

TEST_F(TransportBarTest, BlackAndMuteShowPlainlyThatTheyAreOn)
{
    auto* black = button<QPushButton>(bar, "屏幕黑场");
    auto* mute = button<QPushButton>(bar, "音频静音");
    black->click();
    EXPECT_TRUE(engine->videoBlack());
    saveShot(bar, "transport-bar-black-on");
    const QColor on = meanColour(bar, black);
    const QColor off = meanColour(bar, mute);
    const int apart = std::max(
        {std::abs(on.red() - off.red()), std::abs(on.green() - off.green()), std::abs(on.blue() - off.blue())});
    EXPECT_GT(apart, 40) << "on " << on.name().toStdString() << ", off " << off.name().toStdString();
    engine->setMuted(true);
    EXPECT_NEAR(meanColour(bar, mute).green(), on.green(), 4);
}

TEST_F(TransportBarTest, TickedScreensPlayApartAndStayTickedAfterReturning)
{
    giveScreens(2);
    EXPECT_FALSE(bar.tickedRow()->isVisible());
    state->setSelectedScreens({kScreen1, kScreen2});
    EXPECT_TRUE(bar.tickedRow()->isVisible());
    EXPECT_EQ(bar.findChild<QLabel*>("tickedScreens")->text(), "已选 2 屏");

    select(1);
    state->setPreviewMode(true);
    button<QPushButton>(bar, "播放")->click();
    EXPECT_FALSE(state->previewMode());
    EXPECT_EQ(engine->screenStatus(kScreen1), "独立控制");
    button<QPushButton>(bar, "暂停")->click();
    EXPECT_EQ(engine->screenStatus(kScreen2), "独立暂停");
    button<QPushButton>(bar, "继续")->click();
    EXPECT_EQ(engine->screenStatus(kScreen2), "独立控制");
    button<QPushButton>(bar, "返回节目投放")->click();
    EXPECT_EQ(engine->screenStatus(kScreen1), "仅监看");
    EXPECT_EQ(state->selectedScreens().size(), 2);
    EXPECT_TRUE(bar.tickedRow()->isVisible());

    select(0);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistLoop, std::nullopt));
    saveShot(bar, "transport-bar-during-a-run");
}

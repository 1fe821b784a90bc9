#include "consolefixture.h"
#include "consolesheet.h"
#include "consolestate.h"

namespace {
QList<ScreenRole> screens(int count)
{
    QList<ScreenRole> list;
    for (int i = 1; i <= count; ++i)
        list << ScreenRole{QString("屏幕 %1").arg(i)};
    return list;
}
} // namespace

class ConsoleStateTest : public ConsoleTest
{
  protected:
    void setScreens(const QList<ScreenRole>& list)
    {
        Show show = engine().show();
        show.outputScreens = list;
        engine().setShow(show);
    }
    ConsoleState& state() { return view().state(); }
};

TEST_F(ConsoleStateTest, TheLastPageHoldsTwoScreensAPage)
{
    const std::pair<int, int> table[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}};
    for (auto [count, page] : table)
        EXPECT_EQ(ConsoleState::lastScreenPage(count), page) << count;
    EXPECT_EQ(state().lastScreenPage(), 0);
}

TEST_F(ConsoleStateTest, FewerScreensPullThePageBackAndMoreLeaveIt)
{
    struct Step
    {
        int screens;
        int pageShownBefore;
        int pageAfter;
    };
    const Step steps[] = {{5, 2, 2}, {4, 2, 1}, {2, 1, 0}, {6, 0, 0}, {6, 2, 2}, {1, 2, 0}};
    setScreens(screens(5));
    for (const Step& step : steps) {
        state().setScreenPage(step.pageShownBefore);
        setScreens(screens(step.screens));
        EXPECT_EQ(state().screenPage(), step.pageAfter) << step.screens << " screens";
    }
}

TEST_F(ConsoleStateTest, TicksOfRemovedScreensAreDroppedAndOthersKept)
{
    setScreens(screens(3));
    state().setSelectedScreens({ScreenRole{"屏幕 1"}, ScreenRole{"屏幕 3"}});
    setScreens(screens(2));
    EXPECT_EQ(state().selectedScreens(), QSet<ScreenRole>{ScreenRole{"屏幕 1"}});

    setScreens(screens(4));
    state().setScreenPage(1);
    Show renamed = engine().show();
    renamed.cues[0].name = "新名字";
    engine().setShow(renamed);
    EXPECT_EQ(state().selectedScreens(), QSet<ScreenRole>{ScreenRole{"屏幕 1"}}) << "other edits leave the ticks";
    EXPECT_EQ(state().screenPage(), 1) << "and the page";
}

TEST_F(ConsoleStateTest, TheSelectionIsTheFirstCueWithTheEnginesId)
{
    const Show& show = engine().show();
    engine().setSelected(show.cues[1].id);
    EXPECT_EQ(state().selectedIndex(), 1);
    EXPECT_EQ(state().selection()->name, "开场");
    engine().setSelected(QUuid::createUuid());
    EXPECT_FALSE(state().selectedIndex());
    engine().setSelected(std::nullopt);
    EXPECT_FALSE(state().selection());
}

TEST_F(ConsoleStateTest, SheetsOpenFromTheirFlagsAndClosingThemClearsTheFlags)
{
    state().setPreflightOpen(true);
    ConsoleSheet* sheet = view().preflightSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->width(), ConsoleView::preflightWidth);
    sheet->reject();
    EXPECT_FALSE(state().preflightOpen());

    state().setLightingModuleOpen(true);
    ASSERT_NE(view().lightingSheet(), nullptr);
    state().setLightingModuleOpen(false);
    EXPECT_FALSE(view().lightingSheet() && view().lightingSheet()->isVisible());
}

TEST_F(ConsoleStateTest, PreviewHeightStaysWithinItsRange)
{
    state().setPreviewHeight(400);
    EXPECT_EQ(state().previewHeight(), ConsoleState::maximumPreviewHeight);
    state().setPreviewHeight(10);
    EXPECT_EQ(state().previewHeight(), ConsoleState::minimumPreviewHeight);
}

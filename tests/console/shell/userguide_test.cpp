#include "consolefixture.h"
#include "lumouserguide.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

using UserGuideTest = ConsoleTest;

TEST_F(UserGuideTest, EveryStepWrapsWithinItsBoxAtTheSmallestWindow)
{
    app->openWindow("user-guide");
    QWidget* window = app->singleWindows().window("user-guide");
    ASSERT_NE(window, nullptr);
    auto* guide = window->findChild<LumoUserGuide*>();
    ASSERT_NE(guide, nullptr);
    ASSERT_EQ(guide->stepLabels().size(), 10);

    window->resize(window->minimumSize());
    EXPECT_EQ(window->minimumSize(), QSize(620, 420));
    QTRY_COMPARE(window->size(), QSize(620, 420));
    QApplication::processEvents();
    for (QLabel* step : guide->stepLabels()) {
        SCOPED_TRACE(step->text().toStdString());
        EXPECT_FALSE(step->text().contains(QChar(0x2318))) << "keys are named as this platform's";
        EXPECT_LE(step->geometry().right(), step->parentWidget()->width());
        EXPECT_GE(step->height(), step->heightForWidth(step->width()));
    }
    EXPECT_TRUE(guide->stepLabels().first()->text().contains("Ctrl+S"));
    // Where unsaved work is kept, earlier pieces moved aside included, is named as it is on this machine.
    EXPECT_TRUE(guide->stepLabels().first()->text().contains(recoveryDirectory() + "："));
    EXPECT_TRUE(guide->stepLabels().first()->text().contains("Parked-"));
    EXPECT_GT(guide->verticalScrollBar()->maximum(), 0) << "the page scrolls when it does not fit";
    saveShot(*window, "user-guide-smallest");
    window->resize(760, 620);
    QTRY_COMPARE(window->size(), QSize(760, 620));
    saveShot(*window, "user-guide");
}

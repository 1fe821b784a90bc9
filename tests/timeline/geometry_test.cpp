#include "timelinegeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace TimelineGeometry;

TEST(TimelineGeometry, TimeUnderAPointIsOnTheGridWithinTheDay)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double x, scroll, zoom, time;
    } cases[] = {
        {100, 0, 48, 2.08},  {-10, 0, 48, 0}, {10, 86400 - 0.1, 48, 86400}, {0.12, 0, 48, 0},
        {0.24, 0, 48, 0.01}, {nan, 0, 48, 0}, {0, 0.125, 1, 0.13},          {3, 10, 100, 10.03},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(timeAt(c.x, c.scroll, c.zoom), c.time) << c.x << " " << c.scroll << " " << c.zoom;
    EXPECT_TRUE(isValidTime(86400));
    EXPECT_TRUE(isValidTime(-0.0));
    EXPECT_FALSE(isValidTime(86400.001));
    EXPECT_FALSE(isValidTime(nan));
}

TEST(TimelineGeometry, ZoomKeepsTheTimeUnderThePointerWithinItsLimits)
{
    const View middle = zoomedAbout({48, 10}, 20, 240);
    EXPECT_NEAR(middle.zoom, 48 * std::exp(0.36), 1e-9);
    EXPECT_NEAR(middle.scrollTime + 240 / middle.zoom, 15, 1e-9);
    EXPECT_EQ(zoomedAbout({240, 10}, 50, 100), (View{240, 10}));
    EXPECT_EQ(zoomedAbout({1, 10}, -50, 100), (View{1, 10}));
    // Zooming out at the start keeps the start in view, so the time under the pointer moves.
    EXPECT_EQ(zoomedAbout({48, 0}, -20, 300).scrollTime, 0);
    EXPECT_DOUBLE_EQ(pannedScroll(10, 96, 48), 8);
    EXPECT_DOUBLE_EQ(pannedScroll(1, 96, 48), 0);
    EXPECT_DOUBLE_EQ(pannedScroll(86399, -480, 48), 86400);
}

TEST(TimelineGeometry, RulerLabelsAreAtLeast48PointsApart)
{
    struct Case
    {
        double zoom, scroll, width;
        qint64 first, step;
        double firstX;
    } cases[] = {
        {48, 0, 480, 0, 1, 0},
        {10, 7.5, 500, 5, 5, -25},
        {1, 0, 1000, 0, 48, 0},
        {24, 3, 240, 2, 2, -24},
    };
    for (const Case& c : cases) {
        const QList<RulerLabel> labels = rulerLabels(c.scroll, c.zoom, c.width);
        ASSERT_GE(labels.size(), 2);
        EXPECT_EQ(labels[0], (RulerLabel{c.first, c.firstX})) << c.zoom;
        EXPECT_EQ(labels[1].seconds - labels[0].seconds, c.step) << c.zoom;
        EXPECT_LE(labels.last().seconds, qint64(c.scroll + c.width / c.zoom));
    }
}

TEST(TimelineGeometry, LanesClipsAndWidths)
{
    EXPECT_EQ(laneIndexAt(23.9, 3), std::nullopt);
    EXPECT_EQ(laneIndexAt(24, 3), 0);
    EXPECT_EQ(laneIndexAt(24 + 32 * 3 - 0.1, 3), 2);
    EXPECT_EQ(laneIndexAt(24 + 32 * 3, 3), std::nullopt);
    EXPECT_EQ(areaHeight(0), 24);
    EXPECT_TRUE(inClipBand(24 + 32 + 4));
    EXPECT_TRUE(inClipBand(24 + 32 + 28));
    EXPECT_FALSE(inClipBand(24 + 32 + 3.9));
    EXPECT_EQ(drawnWidth(std::nullopt, 48), 24);
    EXPECT_EQ(drawnWidth(0.001, 48), 1);
    EXPECT_EQ(drawnWidth(2, 48), 96);
}

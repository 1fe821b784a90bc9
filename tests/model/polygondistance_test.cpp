#include "polygondistance.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(PolygonDistance, NeedsThreePointsAndWithoutEdgesEverythingIsOutside)
{
    EXPECT_FALSE(PolygonDistance::make(std::nullopt));
    EXPECT_FALSE(PolygonDistance::make(QList<QPointF>{}));
    EXPECT_FALSE(PolygonDistance::make(QList<QPointF>{{0, 0}, {1, 1}}));
    EXPECT_EQ(PolygonDistance().signedDistance(0, 0), -INFINITY);
}

TEST(PolygonDistance, PositiveInsideNegativeOutsideByTheNearestSide)
{
    const auto square = PolygonDistance::make(QList<QPointF>{{0, 0}, {1, 0}, {1, 1}, {0, 1}});
    ASSERT_TRUE(square);
    EXPECT_FLOAT_EQ(square->signedDistance(0.5f, 0.5f), 0.5f);
    EXPECT_FLOAT_EQ(square->signedDistance(1.5f, 0.5f), -0.5f);
    EXPECT_FLOAT_EQ(square->signedDistance(2, 2), -std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(square->signedDistance(0.25f, 0.9f), 0.1f);
    EXPECT_EQ(std::abs(square->signedDistance(1, 0.5f)), 0.0f);

    // A U shape: the notch between the arms is outside.
    const auto shape = PolygonDistance::make(
        QList<QPointF>{{0, 0}, {1, 0}, {1, 1}, {0.6, 1}, {0.6, 0.3}, {0.4, 0.3}, {0.4, 1}, {0, 1}});
    ASSERT_TRUE(shape);
    EXPECT_GT(shape->signedDistance(0.2f, 0.8f), 0);
    EXPECT_FLOAT_EQ(shape->signedDistance(0.5f, 0.8f), -0.1f);
}

TEST(PolygonDistance, RepeatedPointsGiveFiniteDistances)
{
    const auto repeated = PolygonDistance::make(QList<QPointF>{{0, 0}, {0, 0}, {1, 0}, {1, 1}, {1, 1}});
    ASSERT_TRUE(repeated);
    for (const float y : {-1.0f, 0.0f, 0.25f, 1.0f, 3.0f})
        for (const float x : {-1.0f, 0.0f, 0.5f, 1.0f, 2.0f})
            EXPECT_TRUE(std::isfinite(repeated->signedDistance(x, y))) << x << "," << y;
}

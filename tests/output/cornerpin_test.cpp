#include "cornerpin.h"

#include <QPolygonF>
#include <cmath>
#include <gtest/gtest.h>

static void expectNear(QPointF actual, QPointF expected, double tolerance = 1e-6)
{
    EXPECT_NEAR(actual.x(), expected.x(), tolerance);
    EXPECT_NEAR(actual.y(), expected.y(), tolerance);
}

TEST(CornerPin, DefaultCornersGiveTheIdentity)
{
    EXPECT_TRUE(cornerPinTransform(ProjectorMapping(), QSizeF(1920, 1080)).isIdentity());
}

TEST(CornerPin, UnusableCornersOrSizeGiveTheIdentity)
{
    ProjectorMapping mapping;
    mapping.corners = {{0.1, 0.1}, {0.1, 0.9}, {0.9, 0.9}, {0.9, 0.1}};
    EXPECT_TRUE(cornerPinTransform(mapping, QSizeF(800, 600)).isIdentity());
    mapping.corners = {{0.1, 0.1}, {0.9, 0.2}, {0.8, 0.9}};
    EXPECT_TRUE(cornerPinTransform(mapping, QSizeF(800, 600)).isIdentity());
    mapping.corners = {{0.1, 0.1}, {0.9, 0.2}, {0.8, 0.9}, {0.2, 0.8}};
    EXPECT_FALSE(cornerPinTransform(mapping, QSizeF(800, 600)).isIdentity());
    EXPECT_TRUE(cornerPinTransform(mapping, QSizeF(0, 600)).isIdentity());
    EXPECT_TRUE(cornerPinTransform(mapping, QSizeF(800, -1)).isIdentity());
}

TEST(CornerPin, MatchesTheSquareToQuadMapOfTheScaledCorners)
{
    ProjectorMapping mapping;
    mapping.corners = {{0.1, 0.05}, {0.9, 0.15}, {0.8, 0.95}, {0.2, 0.85}};
    const QSizeF size(1920, 1080);
    const QTransform pin = cornerPinTransform(mapping, size);

    QPolygonF quad;
    for (const QPointF& corner : mapping.corners)
        quad << QPointF(corner.x() * size.width(), corner.y() * size.height());
    QTransform square;
    ASSERT_TRUE(QTransform::squareToQuad(quad, square));

    for (int i = 0; i < 4; ++i) {
        const QPointF unit(i == 1 || i == 2, i >= 2);
        expectNear(pin.map(QPointF(unit.x() * size.width(), unit.y() * size.height())), quad[i]);
    }
    for (double u : {0.0, 0.2, 0.5, 0.9})
        for (double v : {0.1, 0.5, 1.0})
            expectNear(pin.map(QPointF(u * size.width(), v * size.height())), square.map(QPointF(u, v)));
}

// Corners far off the output (a hand-edited file may hold ±1e308) still pin the picture: round the whole output, its
// middle fills the output; corners that are not numbers leave it uncorrected. The stored corners stay as they are.
TEST(CornerPin, FarCornersStillPinThePicture)
{
    const double far = 1e308;
    const QSizeF size(1920, 1080);
    ProjectorMapping mapping;
    mapping.corners = {{-far, -far}, {far, -far}, {far, far}, {-far, far}};
    bool invertible = false;
    const QTransform back = cornerPinTransform(mapping, size).inverted(&invertible);
    ASSERT_TRUE(invertible);
    for (const QPointF& corner : {QPointF(0, 0), QPointF(1920, 0), QPointF(1920, 1080), QPointF(0, 1080)})
        expectNear(back.map(corner), QPointF(960, 540), 2);
    EXPECT_EQ(mapping.corners[2], QPointF(far, far));

    const double nan = std::nan("");
    mapping.corners = {{nan, 0}, {1, nan}, {nan, nan}, {0, 1}};
    EXPECT_TRUE(cornerPinTransform(mapping, size).isIdentity());
}

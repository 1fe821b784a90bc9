#include "mappingtexture.h"

#include <gtest/gtest.h>

#include <cmath>

static const QRectF wholeOutput(0, 0, 1, 1);

static ProjectorMapping withSquareMask()
{
    ProjectorMapping mapping;
    mapping.polygonMask = QList<QPointF>{{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}};
    return mapping;
}

static int value(const QImage& image, int column, int row)
{
    return image.constScanLine(row)[4 * column];
}

TEST(MappingTexture, NothingToMaskGivesNoImage)
{
    ProjectorMapping mapping;
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, false));
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, true));
    mapping.polygonMask = QList<QPointF>{{0, 0}, {1, 1}};
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, true));
}

TEST(MappingTexture, PolygonAloneIsWhiteInsideClearOutsideWithAOnePixelEdge)
{
    const std::optional<QImage> image = mappingTexture(withSquareMask(), wholeOutput, false, true);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(512, 512));
    EXPECT_EQ(image->format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(image->bytesPerLine(), 512 * 4);
    EXPECT_EQ(image->pixel(256, 256), qRgba(255, 255, 255, 255));
    EXPECT_EQ(image->pixel(10, 10), qRgba(0, 0, 0, 0));
    // The left side x = 0.25 falls between columns 127 and 128: a quarter pixel outside, three quarters inside.
    EXPECT_EQ(value(*image, 127, 256), 0);
    EXPECT_EQ(value(*image, 128, 256), 191);
    EXPECT_EQ(value(*image, 129, 256), 255);
    EXPECT_EQ(image->pixel(128, 256), qRgba(191, 191, 191, 191));
    // Without the polygon asked for, the same mapping masks nothing.
    EXPECT_FALSE(mappingTexture(withSquareMask(), wholeOutput, false, false));
}

TEST(MappingTexture, BlackLevelLiftIsClampedAndUniformWithoutBlends)
{
    ProjectorMapping mapping;
    mapping.blackLevel = 0.5;
    const std::optional<QImage> lift = mappingTexture(mapping, wholeOutput, true, false);
    ASSERT_TRUE(lift);
    EXPECT_EQ(lift->size(), QSize(256, 256));
    for (QPoint p : {QPoint(0, 0), QPoint(128, 77), QPoint(255, 255)})
        EXPECT_EQ(lift->pixel(p), qRgba(51, 51, 51, 51));

    for (std::optional<double> level : {std::optional<double>{}, std::optional<double>{0}, std::optional(-0.1)}) {
        mapping.blackLevel = level;
        EXPECT_FALSE(mappingTexture(mapping, wholeOutput, true, false));
    }
}

TEST(MappingTexture, LiftFadesOutAcrossTheBlendZones)
{
    ProjectorMapping mapping;
    mapping.blackLevel = 0.1;
    mapping.edges = {0.5, 0, 0, 0};
    const std::optional<QImage> lift = mappingTexture(mapping, wholeOutput, true, false);
    ASSERT_TRUE(lift);
    EXPECT_EQ(value(*lift, 0, 5), 0);
    EXPECT_EQ(value(*lift, 51, 5), 10);
    EXPECT_EQ(value(*lift, 200, 5), 26);
}

TEST(MappingTexture, LeftRampReachesFullAtItsWidth)
{
    ProjectorMapping mapping;
    mapping.edges = {0.25, 0, 0, 0};
    const std::optional<QImage> fade = mappingTexture(mapping, wholeOutput, false, false);
    ASSERT_TRUE(fade);
    EXPECT_EQ(value(*fade, 0, 100), 0);
    EXPECT_EQ(value(*fade, 32, 100), 128);
    EXPECT_EQ(value(*fade, 63, 100), 252);
    EXPECT_EQ(value(*fade, 64, 100), 255);
    EXPECT_EQ(value(*fade, 255, 100), 255);
}

TEST(MappingTexture, TileSamplesOnlyItsPartOfTheOutput)
{
    ProjectorMapping mapping;
    mapping.edges = {0.25, 0.25, 0, 0};
    const std::optional<QImage> fade = mappingTexture(mapping, QRectF(0.5, 0, 0.5, 1), false, false);
    ASSERT_TRUE(fade);
    EXPECT_EQ(value(*fade, 0, 10), 255);
    EXPECT_EQ(value(*fade, 128, 10), 254);
    EXPECT_EQ(value(*fade, 255, 10), 0);
}

TEST(MappingTexture, GammaIsClampedToItsRange)
{
    ProjectorMapping mapping;
    mapping.edges = {0.5, 0, 0, 0};
    const auto fadeAt = [&](double gamma) {
        mapping.gamma = gamma;
        return mappingTexture(mapping, wholeOutput, false, false).value();
    };
    EXPECT_EQ(fadeAt(10), fadeAt(3));
    EXPECT_EQ(fadeAt(0.1), fadeAt(0.4));
    EXPECT_EQ(value(fadeAt(3), 51, 0), 16);
    EXPECT_EQ(value(fadeAt(0.4), 51, 0), 177);
    EXPECT_EQ(value(fadeAt(1), 51, 0), 102);
}

TEST(MappingTexture, EdgeListOfTheWrongLengthGivesNoImage)
{
    ProjectorMapping mapping;
    mapping.edges = {0.2, 0.2, 0.2};
    mapping.blackLevel = 0.1;
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, false));
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, true, false));
}

TEST(MappingTexture, ZeroSizeTileKeepsASoftEdgeInsteadOfNaN)
{
    const std::optional<QImage> onEdge = mappingTexture(withSquareMask(), QRectF(0.25, 0.5, 0, 0), false, true);
    ASSERT_TRUE(onEdge);
    EXPECT_EQ(onEdge->pixel(0, 0), qRgba(128, 128, 128, 128));
    EXPECT_EQ(onEdge->pixel(511, 511), qRgba(128, 128, 128, 128));
    const std::optional<QImage> inside = mappingTexture(withSquareMask(), QRectF(0.3, 0.3, 0, 0), false, true);
    EXPECT_EQ(inside->pixel(300, 300), qRgba(255, 255, 255, 255));

    const double nan = std::nan("");
    const std::optional<QImage> broken = mappingTexture(withSquareMask(), QRectF(nan, nan, nan, nan), false, true);
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->pixel(5, 5), qRgba(0, 0, 0, 0));
}

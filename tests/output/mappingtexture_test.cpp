#include "mappingtexture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QRectF wholeOutput(0, 0, 1, 1);
const QList<QPointF> square{{0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}};

std::optional<QImage> squareMask(const QRectF& tile)
{
    ProjectorMapping mapping;
    mapping.polygonMask = square;
    return mappingTexture(mapping, tile, false, true);
}

int value(const QImage& image, int column, int row)
{
    return image.constScanLine(row)[4 * column];
}

} // namespace

TEST(MappingTexture, NothingToMaskOrAnEdgeListOfTheWrongLengthGivesNoImage)
{
    ProjectorMapping mapping;
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, false));
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, true));
    mapping.polygonMask = square;
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, false));
    mapping.polygonMask = QList<QPointF>{{0, 0}, {1, 1}};
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, true));
    for (const std::optional<double> level : {std::optional<double>{}, std::optional(0.0), std::optional(-0.1)}) {
        mapping.blackLevel = level;
        EXPECT_FALSE(mappingTexture(mapping, wholeOutput, true, false));
    }
    mapping.edges = {0.2, 0.2, 0.2};
    mapping.blackLevel = 0.1;
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, false, false));
    EXPECT_FALSE(mappingTexture(mapping, wholeOutput, true, false));
}

TEST(MappingTexture, PolygonAloneIsWhiteInsideClearOutsideWithAOnePixelEdge)
{
    const std::optional<QImage> image = squareMask(wholeOutput);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(512, 512));
    EXPECT_EQ(image->format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(image->bytesPerLine(), 512 * 4);
    EXPECT_EQ(image->pixel(256, 256), qRgba(255, 255, 255, 255));
    EXPECT_EQ(image->pixel(10, 10), qRgba(0, 0, 0, 0));
    // The left side x = 0.25 falls between columns 127 and 128: a quarter pixel outside, three quarters inside.
    EXPECT_EQ(value(*image, 127, 256), 0);
    EXPECT_EQ(value(*image, 129, 256), 255);
    EXPECT_EQ(image->pixel(128, 256), qRgba(191, 191, 191, 191));
}

TEST(MappingTexture, ZeroSizeTileKeepsASoftEdgeInsteadOfNaN)
{
    const std::optional<QImage> onEdge = squareMask(QRectF(0.25, 0.5, 0, 0));
    ASSERT_TRUE(onEdge);
    EXPECT_EQ(onEdge->pixel(0, 0), qRgba(128, 128, 128, 128));
    EXPECT_EQ(onEdge->pixel(511, 511), qRgba(128, 128, 128, 128));
    const std::optional<QImage> inside = squareMask(QRectF(0.3, 0.3, 0, 0));
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->pixel(300, 300), qRgba(255, 255, 255, 255));

    const double nan = std::nan("");
    const std::optional<QImage> broken = squareMask(QRectF(nan, nan, nan, nan));
    ASSERT_TRUE(broken);
    EXPECT_EQ(broken->pixel(5, 5), qRgba(0, 0, 0, 0));
}

TEST(MappingTexture, BlackLevelLiftIsClampedUniformAndFadesOutAcrossTheBlendZones)
{
    ProjectorMapping mapping;
    mapping.blackLevel = 0.5;
    const std::optional<QImage> lift = mappingTexture(mapping, wholeOutput, true, false);
    ASSERT_TRUE(lift);
    EXPECT_EQ(lift->size(), QSize(256, 256));
    for (QPoint p : {QPoint(0, 0), QPoint(128, 77), QPoint(255, 255)})
        EXPECT_EQ(lift->pixel(p), qRgba(51, 51, 51, 51));

    mapping.blackLevel = 0.1;
    mapping.edges = {0.5, 0, 0, 0};
    const std::optional<QImage> faded = mappingTexture(mapping, wholeOutput, true, false);
    ASSERT_TRUE(faded);
    EXPECT_EQ(value(*faded, 0, 5), 0);
    EXPECT_EQ(value(*faded, 51, 5), 10);
    EXPECT_EQ(value(*faded, 200, 5), 26);
}

TEST(MappingTexture, BlendRampsFollowWidthTileAndClampedGamma)
{
    const QRectF rightHalf(0.5, 0, 0.5, 1);
    const struct
    {
        QList<double> edges;
        double gamma;
        QRectF tile;
        int column;
        int expected;
    } cases[] = {
        {{0.25, 0, 0, 0}, 1, wholeOutput, 0, 0},      {{0.25, 0, 0, 0}, 1, wholeOutput, 32, 128},
        {{0.25, 0, 0, 0}, 1, wholeOutput, 63, 252},   {{0.25, 0, 0, 0}, 1, wholeOutput, 64, 255},
        {{0.25, 0, 0, 0}, 1, wholeOutput, 255, 255},  {{0.25, 0.25, 0, 0}, 1, rightHalf, 0, 255},
        {{0.25, 0.25, 0, 0}, 1, rightHalf, 128, 254}, {{0.25, 0.25, 0, 0}, 1, rightHalf, 255, 0},
        {{0.5, 0, 0, 0}, 1, wholeOutput, 51, 102},    {{0.5, 0, 0, 0}, 3, wholeOutput, 51, 16},
        {{0.5, 0, 0, 0}, 0.4, wholeOutput, 51, 177},
    };
    ProjectorMapping mapping;
    for (const auto& c : cases) {
        mapping.edges = c.edges;
        mapping.gamma = c.gamma;
        const std::optional<QImage> fade = mappingTexture(mapping, c.tile, false, false);
        ASSERT_TRUE(fade);
        EXPECT_EQ(value(*fade, c.column, 10), c.expected) << c.column << " gamma " << c.gamma;
    }
    // Whole ramps match, not only the sampled column.
    mapping.edges = {0.5, 0, 0, 0};
    const auto fadeAt = [&](double gamma) {
        mapping.gamma = gamma;
        return mappingTexture(mapping, wholeOutput, false, false).value();
    };
    EXPECT_EQ(fadeAt(10), fadeAt(3));
    EXPECT_EQ(fadeAt(0.1), fadeAt(0.4));
}

// Widths are fractions of the output: a larger one fades across the whole output as 1 does, a negative one or one
// that is not a number fades nothing, so no width blackens the output.
TEST(MappingTexture, EdgeWidthsAreTakenWithinZeroToOne)
{
    ProjectorMapping huge;
    huge.edges = {1e308, -1e308, 1e308, std::nan("")};
    ProjectorMapping limits;
    limits.edges = {1, 0, 1, 0};
    const std::optional<QImage> fade = mappingTexture(huge, wholeOutput, false, false);
    ASSERT_TRUE(fade);
    EXPECT_EQ(*fade, *mappingTexture(limits, wholeOutput, false, false));
    EXPECT_GT(value(*fade, 255, 255), 250);
    EXPECT_EQ(huge.edges[0], 1e308);
}

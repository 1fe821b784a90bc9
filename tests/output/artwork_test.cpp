#include "lumomark.h"
#include "standbyartwork.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {
QImage mark(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paintLumoMark(painter, QSizeF(size));
    return image;
}

bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

const QColor outline = QColor::fromRgbF(0.67f, 0.92f, 0.95f);
const QColor play = QColor::fromRgbF(0.24f, 0.88f, 0.81f);
} // namespace

TEST(Artwork, TheMarkDrawsItsOutlinePlayAndStandInTheTopLeftSquare)
{
    const QImage image = mark(QSize(200, 100));
    EXPECT_TRUE(near(image.pixelColor(20, 45), outline));       // the outline's left side
    EXPECT_TRUE(near(image.pixelColor(50, 45), play));          // inside the play triangle
    EXPECT_NEAR(image.pixelColor(50, 79).alphaF(), 0.66, 0.01); // the stand, white at 0.66
    EXPECT_EQ(image.pixelColor(50, 30).alpha(), 0);             // the screen is left empty
    for (int x = 101; x < 200; x += 7)
        for (int y = 0; y < 100; y += 7)
            ASSERT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;

    const QImage small = mark(QSize(29, 29));
    EXPECT_TRUE(near(small.pixelColor(15, 13), play, 30));
}

TEST(Artwork, TheStandbyPictureCentresTheMarkOverItsGlow)
{
    const QImage image = standbyArtworkImage(QSize(960, 540));
    QDir().mkpath(LUMO_TEST_SHOTS);
    image.save(QString(LUMO_TEST_SHOTS) + "/standby-artwork.png");

    int playRows = 0;
    for (int y = 0; y < 540; ++y)
        playRows += near(image.pixelColor(480, y), play);
    EXPECT_GT(playRows, 12) << "the play triangle sits on the vertical centre line";

    // The rings are faint but brighter than the glow beside them: the middle one lies at a radius of 180.
    const QColor onRing = image.pixelColor(480 + 179, 270);
    const QColor besideRing = image.pixelColor(480 + 170, 270);
    EXPECT_GT(onRing.blue(), besideRing.blue());

    // On a tall area the width sets the grid: the glow reaches its outer colour 10 units (250 px) out.
    const QImage tall = standbyArtworkImage(QSize(400, 1000));
    EXPECT_TRUE(near(tall.pixelColor(200, 10), QColor::fromRgbF(0.018f, 0.036f, 0.066f), 2));
    EXPECT_FALSE(near(tall.pixelColor(200, 400), QColor::fromRgbF(0.018f, 0.036f, 0.066f), 2));
    EXPECT_TRUE(standbyArtworkImage(QSize(0, 10)).isNull());
}

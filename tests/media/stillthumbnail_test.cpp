#include "pnglayouts.h"
#include "stillimage.h"

#include <QColorSpace>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {

// The colour in the middle of a band of a still that shows the layout's bands side by side.
QColor bandColour(const QImage& still, int band, int bands)
{
    const QImage plain = still.convertToFormat(QImage::Format_ARGB32);
    return plain.pixelColor((2 * band + 1) * plain.width() / (2 * bands), plain.height() / 2);
}

// Within a step of the colour asked for, transparency included; a colour wholly transparent has no colour to compare.
::testing::AssertionResult looksLike(const QColor& seen, const QColor& wanted)
{
    const auto near = [](int a, int b) { return std::abs(a - b) <= 12; };
    const bool same = near(seen.alpha(), wanted.alpha()) &&
                      (wanted.alpha() == 0 || (near(seen.red(), wanted.red()) && near(seen.green(), wanted.green()) &&
                                               near(seen.blue(), wanted.blue())));
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "seen " << seen.name(QColor::HexArgb).toStdString() << ", wanted "
                                         << wanted.name(QColor::HexArgb).toStdString();
}

} // namespace

// Whatever way a PNG stores its pixels, the reduced still shows its colours and its transparency: the one-bit card of
// two colours that image tools write for a plain colour, palettes of 2 to 8 bits, grey of 1 to 16 bits, RGB of 16
// bits, each with and without transparency. Each file really is in its layout, and Qt reads each in the format the
// header calls for; pictures larger than the still, small ones, and a large card are all reduced alike.
TEST(StillThumbnail, EveryPixelLayoutKeepsItsColoursAndTransparency)
{
    for (const PngLayout& layout : everyPngLayout()) {
        // Qt 6.4 decodes a 16-bit RGB picture with a colour key into other colours at any size, on the outputs too.
        if (layout.colourType == PngLayout::rgb && layout.bitDepth == 16 && layout.transparent)
            continue;
        for (const QSize size : {QSize(400, 200), QSize(120, 60), QSize(1920, 1080)}) {
            const QString path = pngInLayout(layout, size);
            SCOPED_TRACE((layout.name() + QStringLiteral(" %1x%2").arg(size.width()).arg(size.height())).toStdString());
            const std::optional<PngLayout> header = pngLayoutOf(path);
            ASSERT_TRUE(header);
            EXPECT_EQ(header->colourType, layout.colourType);
            EXPECT_EQ(header->bitDepth, layout.bitDepth);
            EXPECT_EQ(header->transparent, layout.transparent);

            const QImage still = readStillThumbnail(path, 160);
            ASSERT_FALSE(still.isNull());
            EXPECT_EQ(still.size(), size.scaled(160, 160, Qt::KeepAspectRatio).boundedTo(size));
            for (int band = 0; band < layout.bands(); ++band)
                EXPECT_TRUE(looksLike(bandColour(still, band, layout.bands()), layout.band(band))) << "band " << band;
        }
    }
    // The layouts Qt decodes to its own formats, so that each way of reading is met.
    EXPECT_EQ(QImageReader(pngInLayout({PngLayout::palette, 1}, {400, 200})).imageFormat(), QImage::Format_Mono);
    EXPECT_EQ(QImageReader(pngInLayout({PngLayout::palette, 4}, {400, 200})).imageFormat(), QImage::Format_Indexed8);
    EXPECT_EQ(QImageReader(pngInLayout({PngLayout::grey, 16}, {400, 200})).imageFormat(), QImage::Format_Grayscale16);
    EXPECT_EQ(QImageReader(pngInLayout({PngLayout::rgba, 16, true}, {400, 200})).imageFormat(), QImage::Format_RGBA64);
}

// A palette picture is read whole before it is reduced: one larger than an output would show gives no still rather
// than taking that memory, as the outputs refuse it too.
TEST(StillThumbnail, APalettePictureLargerThanAnOutputShowsGivesNoStill)
{
    const QString wide = pngInLayout({PngLayout::palette, 1}, {kMaxStillSide + 1, 2});
    EXPECT_TRUE(readStillThumbnail(wide, 160).isNull());
    const QString widest = pngInLayout({PngLayout::palette, 1}, {kMaxStillSide, 2});
    const QImage still = readStillThumbnail(widest, 160);
    ASSERT_FALSE(still.isNull());
    EXPECT_EQ(still.size(), QSize(160, 1));
    EXPECT_TRUE(looksLike(bandColour(still, 0, 2), QColor(255, 0, 0)));
    EXPECT_TRUE(looksLike(bandColour(still, 1, 2), QColor(0, 0, 255)));
}

#include "eventwait.h"
#include "mediafixtures.h"
#include "picture.h"
#include "stilldecoder.h"

#include <gtest/gtest.h>

// A picture too large to read at once is decoded on a worker and kept; a small one or an unreadable file is
// answered at once.
TEST(StillDecoder, LargePicturesAreDecodedOffTheMainThreadAndKept)
{
    StillDecoder decoder(qint64(64) << 20);
    std::optional<QImage> decoded;
    QObject::connect(&decoder, &StillDecoder::decoded, [&](const QString&, const QImage& image) { decoded = image; });
    const QString large = MediaFixtures::png({1200, 800}, QColor(10, 20, 30));
    EXPECT_FALSE(decoder.image(large));
    EXPECT_TRUE(decoder.isDecoding(large));
    ASSERT_TRUE(waitUntil([&] { return decoded.has_value(); }));
    EXPECT_EQ(decoded->size(), QSize(1200, 800));
    ASSERT_TRUE(decoder.image(large));
    EXPECT_EQ(decoder.image(large)->size(), QSize(1200, 800));

    const std::optional<QImage> small = decoder.image(MediaFixtures::png({64, 48}, Qt::green));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(64, 48));
    const std::optional<QImage> broken = decoder.image(MediaFixtures::file("broken.png", "not a picture"));
    ASSERT_TRUE(broken);
    EXPECT_TRUE(broken->isNull());
}

TEST(StillDecoder, APictureShowsALargeStillOnceDecodedAndDropsAStaleDecode)
{
    Picture picture(defaultPlayerFactory());
    const QString first = MediaFixtures::png({1000, 1000}, QColor(1, 2, 3));
    const QString second = MediaFixtures::png({1000, 1000}, QColor(200, 100, 50));
    picture.load(QUrl::fromLocalFile(first));
    EXPECT_TRUE(picture.isDecodingStill());
    picture.load(QUrl::fromLocalFile(second));
    ASSERT_TRUE(waitUntil([&] { return picture.image().has_value(); }, 20000));
    EXPECT_FALSE(picture.isDecodingStill());
    EXPECT_EQ(picture.image()->pixelColor(0, 0), QColor(200, 100, 50));
    ASSERT_TRUE(waitUntil([&] { return !StillDecoder::shared().isDecoding(first); }, 20000));
    runEvents(50);
    EXPECT_EQ(picture.image()->pixelColor(0, 0), QColor(200, 100, 50)) << "the first decode came too late to show";
}

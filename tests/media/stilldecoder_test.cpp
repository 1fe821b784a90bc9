#include "decodedstill.h"
#include "eventwait.h"
#include "heartbeat.h"
#include "mediafixtures.h"
#include "picture.h"
#include "stalledfolder.h"
#include "stilldecoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A picture too large to read at once is decoded on a worker and kept; a small one or an unreadable file is answered
// by the look at its file, aside from the main thread. What was decoded is at hand at once afterwards.
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
    EXPECT_FALSE(decoder.isDecoding(large)) << "a picture at hand is not decoding, though its file is looked at";

    const QString smallFile = MediaFixtures::png({64, 48}, Qt::green);
    EXPECT_FALSE(decoder.image(smallFile)) << "read on the main thread";
    EXPECT_TRUE(decoder.isDecoding(smallFile));
    EXPECT_EQ(decodedStill(decoder, smallFile).size(), QSize(64, 48));
    ASSERT_TRUE(decoder.image(smallFile)) << "a small picture read before is at hand";
    EXPECT_EQ(decoder.image(smallFile)->size(), QSize(64, 48));
    EXPECT_TRUE(decodedStill(decoder, MediaFixtures::file("broken.png", "not a picture")).isNull());
}

// A picture changed on disk is read anew: the one at hand shows at once, and the new one follows its look.
TEST(StillDecoder, APictureChangedOnDiskIsReadAnew)
{
    StillDecoder decoder(qint64(64) << 20);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("logo.png"));
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::red), path));
    EXPECT_EQ(decodedStill(decoder, path).pixelColor(0, 0), QColor(Qt::red));

    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({32, 32}, Qt::blue), path));
    std::optional<QImage> renewed;
    QObject::connect(&decoder, &StillDecoder::decoded, [&](const QString&, const QImage& image) { renewed = image; });
    ASSERT_TRUE(decoder.image(path)) << "a picture at hand shows at once";
    EXPECT_EQ(decoder.image(path)->pixelColor(0, 0), QColor(Qt::red));
    ASSERT_TRUE(waitUntil([&] { return renewed.has_value(); }));
    EXPECT_EQ(renewed->pixelColor(0, 0), QColor(Qt::blue));
    ASSERT_TRUE(decoder.image(path));
    EXPECT_EQ(decoder.image(path)->pixelColor(0, 0), QColor(Qt::blue));
}

// A still whose folder stops answering holds only the look at it: the main thread asks, serves its events meanwhile,
// and the picture shows once the folder answers.
TEST(StillDecoder, AStillOnAStalledFolderHoldsOnlyItsLookAndShowsOnceTheFolderAnswers)
{
    StillDecoder decoder(qint64(64) << 20);
    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("share")));
    const QString path = folder.filePath(QStringLiteral("share/logo.png"));
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({16, 16}, Qt::green), path));
    const auto share = std::make_shared<StalledFolder>();
    share->stall(folder.filePath(QStringLiteral("share")));
    decoder.setBeforeLook([share](const QString& looked) { share->hangIfHeld(QUrl::fromLocalFile(looked)); });

    Heartbeat heartbeat;
    QElapsedTimer held;
    held.start();
    EXPECT_FALSE(decoder.image(path));
    decoder.prepare(path);
    EXPECT_TRUE(decoder.isDecoding(path));
    EXPECT_LT(held.elapsed(), 100) << "the main thread waited on the folder";
    const int ticks = heartbeat.ticks();
    // Some sixty beats of the 5 ms timer served while the folder hangs.
    EXPECT_TRUE(waitUntil([&] { return heartbeat.ticks() >= ticks + 60; }))
        << "the main thread served no events while the folder hung";
    EXPECT_TRUE(decoder.isDecoding(path));
    EXPECT_FALSE(decoder.image(path)) << "a file whose folder hangs has no picture at hand";

    share->release();
    EXPECT_EQ(decodedStill(decoder, path).pixelColor(0, 0), QColor(Qt::green));
    EXPECT_FALSE(decoder.isDecoding(path));
    EXPECT_LT(heartbeat.longestGapMs(), 1000) << "the main thread waited on the folder";
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

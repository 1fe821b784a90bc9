#include "decodedstill.h"
#include "eventwait.h"
#include "mediafilecheck.h"
#include "mediafixtures.h"
#include "picture.h"
#include "stilldecoder.h"

#include <gtest/gtest.h>

namespace {

struct Still
{
    const char* kind;
    QString path;
    bool fits;
};

// What a decoder that allows maxBytes a still makes of the file: the picture, or a null one when it refuses.
QImage decodedBy(StillDecoder& decoder, const QString& path)
{
    return decodedStill(decoder, path);
}

} // namespace

// A stand-in limit of 1 MB takes the place of the real 1 GB: a still at exactly the limit passes the check and
// decodes, one a row past it is named by the check and refused by the decoder, whatever its pixels take.
TEST(StillLimits, TheCheckAndTheDecoderAgreeJustInsideAndJustPastTheLimit)
{
    constexpr qint64 limit = qint64(1) << 20;
    const QList<Still> stills{
        {"8-bit grey inside", MediaFixtures::blackPng({1024, 1024}, PngPixels::grey8), true},
        {"8-bit grey past", MediaFixtures::blackPng({1024, 1025}, PngPixels::grey8), false},
        {"RGBA inside", MediaFixtures::blackPng({512, 512}, PngPixels::rgba8), true},
        {"RGBA past", MediaFixtures::blackPng({512, 513}, PngPixels::rgba8), false},
        {"16-bit RGBA inside", MediaFixtures::blackPng({256, 512}, PngPixels::rgba16), true},
        {"16-bit RGBA past", MediaFixtures::blackPng({257, 512}, PngPixels::rgba16), false},
    };
    StillDecoder decoder(qint64(64) << 20, limit);
    for (const auto& [kind, path, fits] : stills) {
        SCOPED_TRACE(kind);
        const std::optional<QString> reason = unusableMediaReason(path, limit);
        const QImage image = decodedBy(decoder, path);
        EXPECT_EQ(reason.has_value(), image.isNull()) << reason.value_or(QString()).toStdString();
        EXPECT_EQ(image.isNull(), !fits);
        if (reason) {
            EXPECT_TRUE(reason->endsWith(QStringLiteral("超过上限 1 MB"))) << reason->toStdString();
        }
    }
}

// Qt's reader stops on its own at 128 MB decoded, far below the stated 16384 × 16384: a picture between the two
// passes the check and plays, and a 16-bit one that needs 2 GB is named by the check and refused without a try.
TEST(StillLimits, WhatTheCheckPassesPlaysAndWhatItNamesFails)
{
    const QString large = MediaFixtures::blackPng({12000, 12000}, PngPixels::grey8);
    EXPECT_EQ(unusableMediaReason(large), std::nullopt);
    Picture plays(defaultPlayerFactory());
    plays.load(QUrl::fromLocalFile(large));
    ASSERT_TRUE(waitUntil([&] { return plays.image() || plays.stillFailed(); }, 30000));
    ASSERT_TRUE(plays.image()) << "a still the check passed failed to decode";
    EXPECT_EQ(plays.image()->size(), QSize(12000, 12000));

    const QString deep = MediaFixtures::pngClaiming({16384, 16384}, PngPixels::rgba16);
    EXPECT_EQ(unusableMediaReason(deep), QStringLiteral("画面 16384×16384 解码需 2048 MB 内存，超过上限 1024 MB"));
    Picture fails(defaultPlayerFactory());
    fails.load(QUrl::fromLocalFile(deep));
    EXPECT_TRUE(waitUntil([&] { return fails.stillFailed(); }, 10000));
    EXPECT_FALSE(fails.image());
}

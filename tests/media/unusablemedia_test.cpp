#include "eventwait.h"
#include "gstplayer.h"
#include "mediafilecheck.h"
#include "mediafixtures.h"
#include "picture.h"

#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

struct Broken
{
    const char* kind;
    QString path;
};

QList<Broken> brokenStills()
{
    return {
        {"empty", MediaFixtures::file("empty.png", {})},
        {"truncated", MediaFixtures::truncated(MediaFixtures::png({640, 480}, Qt::blue), 0.5)},
        {"30000x30000", MediaFixtures::blackPng({30000, 30000})},
        {"claims 30000x30000", MediaFixtures::pngClaiming({30000, 30000})},
    };
}

} // namespace

TEST(UnusableMedia, StillsThatCannotBeShownFailAndAGoodOneDoesNot)
{
    QList<Broken> stills = brokenStills();
    stills.append({"corrupt data", MediaFixtures::corruptPng()});
    for (const auto& [kind, path] : stills) {
        SCOPED_TRACE(kind);
        Picture picture(defaultPlayerFactory());
        picture.load(QUrl::fromLocalFile(path));
        EXPECT_TRUE(waitUntil([&] { return picture.stillFailed(); }, 10000));
        EXPECT_FALSE(picture.image());
    }
    Picture picture(defaultPlayerFactory());
    picture.load(QUrl::fromLocalFile(MediaFixtures::blackPng({4000, 3000})));
    ASSERT_TRUE(waitUntil([&] { return picture.image().has_value(); }, 10000));
    EXPECT_FALSE(picture.stillFailed());
}

TEST(UnusableMedia, AVideoClaimingAHugePictureFailsInsteadOfPlayingBlack)
{
    GstPlayer player;
    player.load(QUrl::fromLocalFile(MediaFixtures::videoClaiming({65535, 65535})));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.status() == PlayerStatus::failed; }, 10000));
    EXPECT_TRUE(player.errorText().contains(QStringLiteral("65535×65535"))) << player.errorText().toStdString();
}

TEST(UnusableMedia, AGlanceAtTheHeaderTellsWhatCannotBeShown)
{
    for (const auto& [kind, path] : brokenStills()) {
        SCOPED_TRACE(kind);
        EXPECT_TRUE(unusableMediaReason(path).has_value());
    }
    EXPECT_EQ(unusableMediaReason(MediaFixtures::videoClaiming({65535, 65535})),
              QStringLiteral("画面尺寸 65535×65535 超过上限 16384×16384"));
    for (const QString& good : {MediaFixtures::png(), MediaFixtures::video({.audio = true}), MediaFixtures::wav()})
        EXPECT_EQ(unusableMediaReason(good), std::nullopt) << QFileInfo(good).fileName().toStdString();
}

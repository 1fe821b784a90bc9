#include "mediafixtures.h"
#include "mediaprobe.h"

#include <gtest/gtest.h>

namespace {

QUrl fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path);
}

} // namespace

TEST(MediaProbe, DurationOfVideoAndSound)
{
    EXPECT_NEAR(mediaDuration(fileUrl(MediaFixtures::video({.seconds = 2}))).value_or(0), 2.0, 0.05);
    EXPECT_NEAR(mediaDuration(fileUrl(MediaFixtures::video({.seconds = 1, .codec = VideoCodec::vp8}))).value_or(0), 1.0,
                0.05);
    EXPECT_NEAR(mediaDuration(fileUrl(MediaFixtures::wav({.seconds = 1.5}))).value_or(0), 1.5, 0.02);
    EXPECT_FALSE(mediaDuration(fileUrl(MediaFixtures::missing())));
    EXPECT_FALSE(mediaDuration(fileUrl(MediaFixtures::file("notes.txt", "plain words\n"))));
}

TEST(MediaProbe, FrameAtATimeInColourAndScaled)
{
    const std::optional<QImage> red = videoFrameAt(fileUrl(MediaFixtures::video({.pattern = "red"})), 0.5);
    ASSERT_TRUE(red);
    EXPECT_EQ(red->size(), QSize(320, 240));
    const QColor pixel = red->pixelColor(100, 100);
    EXPECT_GT(pixel.red(), 230);
    EXPECT_LT(pixel.green(), 30);
    EXPECT_LT(pixel.blue(), 30);

    const std::optional<QImage> small =
        videoFrameAt(fileUrl(MediaFixtures::video({.size = {640, 360}, .codec = VideoCodec::vp8})), 0.2, {160, 160});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(160, 90));

    EXPECT_FALSE(videoFrameAt(fileUrl(MediaFixtures::missing()), 0));
}

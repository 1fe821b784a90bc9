#include "asidethreads.h"
#include "eventwait.h"
#include "hangguard.h"
#include "mediafixtures.h"
#include "mediaprobe.h"
#include "nofiledescriptors.h"
#include "stallablemount.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
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

TEST(MediaProbe, PictureStartIsWhereTheFirstFrameBeginsAndNoneWithoutAPicture)
{
    EXPECT_NEAR(videoStart(fileUrl(MediaFixtures::video({.audio = true, .videoStart = 2}))).value_or(0), 2.0, 0.001);
    EXPECT_NEAR(videoStart(fileUrl(MediaFixtures::video())).value_or(-1), 0.0, 0.001);
    EXPECT_FALSE(videoStart(fileUrl(MediaFixtures::wav())));
    EXPECT_FALSE(videoStart(fileUrl(MediaFixtures::missing())));
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

// A grab at a frame's own start time shows that frame, never the one before it.
TEST(MediaProbe, FrameAtExactFrameTimesIsThatFrame)
{
    const QUrl clip = fileUrl(MediaFixtures::indexedVideo(60));
    for (int index : {0, 1, 15, 29, 30, 31, 45, 59}) {
        SCOPED_TRACE(index);
        const std::optional<QImage> frame = videoFrameAt(clip, index / 30.0);
        ASSERT_TRUE(frame);
        EXPECT_EQ(MediaFixtures::frameIndexOf(*frame), index);
    }
    const std::optional<QImage> between = videoFrameAt(clip, 1.01);
    ASSERT_TRUE(between);
    EXPECT_EQ(MediaFixtures::frameIndexOf(*between), 30);
}

// The demuxer's error on a truncated file is dropped by decodebin while it is still trying the demuxer: the probes
// must hear it anyway and give up at once, every time, long before a probe's own 10 s time-out (a busy machine with a
// sanitizer may take a second or more).
TEST(MediaProbe, TruncatedFileFailsEveryProbeLongBeforeTheTimeOut)
{
    const QUrl truncated = fileUrl(MediaFixtures::truncated(MediaFixtures::video({.seconds = 2}), 0.5));
    for (int run = 0; run < 20; ++run) {
        SCOPED_TRACE(run);
        QElapsedTimer clock;
        clock.start();
        EXPECT_FALSE(mediaDuration(truncated));
        EXPECT_LT(clock.restart(), 5000);
        EXPECT_FALSE(videoFrameAt(truncated, 0));
        EXPECT_LT(clock.restart(), 5000);
        EXPECT_FALSE(videoFrameAt(truncated, 1.0));
        EXPECT_LT(clock.elapsed(), 5000);
    }
}

// Without descriptors to spare a probe answers at once instead of waiting out its time limit.
TEST(MediaProbe, WithoutDescriptorsEveryProbeAnswersNothingAtOnce)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video());
    HangGuard guard("probing without descriptors", std::chrono::seconds(5));
    NoFileDescriptors limit;
    EXPECT_FALSE(mediaDuration(video));
    EXPECT_FALSE(videoFrameAt(video, 0));
}

TEST(MediaProbe, AsyncFormsAnswerOffTheCallingThread)
{
    QFuture<std::optional<double>> duration = mediaDurationAsync(fileUrl(MediaFixtures::video({.seconds = 2})));
    QFuture<std::optional<QImage>> frame = videoFrameAtAsync(fileUrl(MediaFixtures::indexedVideo(60)), 1.0);
    EXPECT_NEAR(duration.result().value_or(0), 2.0, 0.05);
    ASSERT_TRUE(frame.result());
    EXPECT_EQ(MediaFixtures::frameIndexOf(*frame.result()), 30);
}

// A probe counts, from the moment it is asked until it has answered, as work the program's end does not wait for: a
// share that stopped answering may hold it for good. The share answers late, so that each is under way when counted.
TEST(MediaProbe, AsyncFormsAreWorkTheEndDoesNotWaitFor)
{
    QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(QFile::copy(MediaFixtures::indexedVideo(60), share.backing() + "/clip.mp4"));
    const QUrl clip = fileUrl(share.mount() + "/clip.mp4");
    share.delay(0.02);
    ASSERT_TRUE(AsideThreads::waitForUnwaited(5000));
    QFuture<std::optional<double>> duration = mediaDurationAsync(clip);
    EXPECT_FALSE(AsideThreads::waitForUnwaited(0));
    EXPECT_NEAR(duration.result().value_or(0), 2.0, 0.05);
    EXPECT_TRUE(waitUntil([] { return AsideThreads::waitForUnwaited(0); }));
    QFuture<std::optional<QImage>> frame = videoFrameAtAsync(clip, 1.0);
    EXPECT_FALSE(AsideThreads::waitForUnwaited(0));
    EXPECT_TRUE(frame.result());
    EXPECT_TRUE(waitUntil([] { return AsideThreads::waitForUnwaited(0); }));
}

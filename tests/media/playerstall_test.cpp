#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "stallablemount.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {

// A clip long enough that it is still being read when the share stops answering, as "clip.mp4" on the share.
bool putLongClipOn(const StallableMount& share)
{
    return QFile::copy(MediaFixtures::video({.size = {640, 360}, .seconds = 30, .audio = true}),
                       share.backing() + "/clip.mp4");
}

// A stream that delivers the first part of a file and then nothing more, without ending: the far end of a pipe that
// stays open, put in the place of standard input for the time being, because a URL names no other descriptor
// (QUrl reads "fd://16" as the address 0.0.0.16).
class StalledStream
{
  public:
    StalledStream(const QString& path, double fraction)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || ::pipe2(m_fds, O_CLOEXEC) != 0)
            return;
        const QByteArray bytes = file.readAll();
        m_input = ::dup(0);
        ::dup2(m_fds[0], 0);
        m_writer = std::thread([fd = m_fds[1], part = bytes.left(qsizetype(bytes.size() * fraction))] {
            for (qsizetype done = 0; done < part.size();) {
                const ssize_t written = ::write(fd, part.constData() + done, size_t(part.size() - done));
                if (written <= 0)
                    return;
                done += written;
            }
        });
    }
    ~StalledStream()
    {
        // Closing the read ends first lets a writer still blocked in the pipe give up.
        ::dup2(m_input, 0);
        ::close(m_input);
        ::close(m_fds[0]);
        if (m_writer.joinable())
            m_writer.join();
        ::close(m_fds[1]);
    }
    static QUrl url() { return QUrl(QStringLiteral("fd://0")); }

  private:
    int m_fds[2] = {-1, -1};
    int m_input = -1;
    std::thread m_writer;
};

} // namespace

// While an item that stopped delivering is found out, a paused video and a playing sound play on unharmed.
TEST(PlayerStall, AnItemThatStopsDeliveringWhilePlayingFailsAndOthersDoNot)
{
    GstPlayer paused;
    ASSERT_TRUE(waitUntil([&] {
        if (!paused.hasItem())
            paused.load(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2})));
        return paused.isReady();
    }));
    paused.play();
    ASSERT_TRUE(waitUntil([&] { return paused.currentTime() > 0.2; }));
    paused.pause();
    GstPlayer sound;
    sound.load(QUrl::fromLocalFile(MediaFixtures::wav({.seconds = 60, .amplitude = 0.1})));
    sound.play();

    const StalledStream stream(MediaFixtures::video({.seconds = 4, .codec = VideoCodec::vp8}), 0.5);
    GstPlayer stalled;
    stalled.load(stream.url());
    stalled.play();
    ASSERT_TRUE(waitUntil([&] { return stalled.currentTime() > 0.5; }, 10000)) << stalled.errorText().toStdString();
    EXPECT_TRUE(waitUntil([&] { return stalled.status() == PlayerStatus::failed; }, 40000));
    EXPECT_EQ(stalled.errorText(), QStringLiteral("文件在播放中停止送出画面"));
    EXPECT_TRUE(paused.isReady());
    EXPECT_TRUE(sound.isPlaying());
    EXPECT_GT(sound.currentTime(), 5);
}

// Zeros written over a playing clip in place: the decoder drops the zeroed frames without an error while the sound
// and the clock run on. The frozen picture fails the item within the watchdog's time, long before the clip would end.
TEST(PlayerStall, AClipOverwrittenWithZerosFailsOnceItsPictureFreezes)
{
    constexpr int seconds = 40;
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("clip.mp4"));
    ASSERT_TRUE(QFile::copy(MediaFixtures::video({.seconds = seconds, .audio = true}), path));
    GstPlayer player;
    QElapsedTimer sinceFrame;
    sinceFrame.start();
    QObject::connect(&player, &Player::frameArrived, [&] { sinceFrame.restart(); });
    player.load(QUrl::fromLocalFile(path));
    player.play();
    QElapsedTimer played;
    played.start();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 1; }, 10000)) << player.errorText().toStdString();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    // The movie's index lies at the end and stays whole: only frames are lost.
    ASSERT_TRUE(file.seek(size * 15 / 100));
    ASSERT_EQ(file.write(QByteArray(size * 70 / 100, 0)), size * 70 / 100);
    file.close();

    ASSERT_TRUE(waitUntil([&] { return player.status() == PlayerStatus::failed; }, seconds * 1000));
    EXPECT_LT(played.elapsed(), (seconds - 5) * 1000) << "failed only when the clip's time ran out";
    EXPECT_LT(sinceFrame.elapsed(), 10000 + 3000) << "the frozen picture went unnoticed past the watchdog's time";
    EXPECT_EQ(player.errorText(), QStringLiteral("文件在播放中被改写或截断"));
}

// A video whose picture ends long before its sound holds its last frame while the sound plays on: no stall.
TEST(PlayerStall, APictureThatEndsBeforeItsSoundIsNoStall)
{
    GstPlayer player;
    bool ended = false;
    QObject::connect(&player, &Player::ended, [&] { ended = true; });
    player.load(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 5, .audio = true, .audioSeconds = 18})));
    player.play();
    EXPECT_TRUE(waitUntil([&] { return ended || player.status() == PlayerStatus::failed; }, 40000));
    EXPECT_TRUE(ended) << player.errorText().toStdString();
    EXPECT_GT(player.currentTime(), 17);
}

// A playing item whose share stops answering (a FUSE folder; skipped without FUSE): every call returns at once and
// tells what the pipeline last reported; the item waits for its folder, past the time after which an item that makes
// no progress fails, and does what was asked meanwhile once the share answers.
TEST(PlayerStall, AnItemWhoseShareStopsAnsweringAnswersAtOnceAndWaitsForIt)
{
    const QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(putLongClipOn(share));
    GstPlayer player;
    player.load(QUrl::fromLocalFile(share.mount() + "/clip.mp4"));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }, 20000)) << player.errorText().toStdString();
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.3; }));

    share.stall();
    QElapsedTimer held;
    held.start();
    const std::optional<double> length = player.duration();
    const double at = player.currentTime();
    player.setVolume(0.5);
    player.setMuted(true);
    EXPECT_LT(held.elapsed(), 1000) << "a call waited on the share";
    EXPECT_NEAR(length.value_or(0), 30.0, 0.1);
    EXPECT_GT(at, 0.3);
    // Past the time in which an item that stops delivering fails.
    runEvents(12000);
    EXPECT_EQ(player.status(), PlayerStatus::ready) << player.errorText().toStdString();
    const std::optional<VideoFrame> frozen = player.currentFrame();
    ASSERT_TRUE(frozen);
    EXPECT_LT(frozen->time(), at + 3) << "the share still answered";

    // Its streaming threads wait for the share now: a seek waits for them.
    held.restart();
    player.pause();
    player.seek(1);
    player.play();
    player.playAt(2, HostClock::now() + std::chrono::milliseconds(100));
    const double afterwards = player.currentTime();
    EXPECT_EQ(player.duration(), length);
    EXPECT_LT(held.elapsed(), 1000) << "a call waited on the share";
    EXPECT_EQ(afterwards, 2) << "the start asked for";
    share.answer();
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<VideoFrame> frame = player.currentFrame();
        return frame && frame->time() > 2.2;
    })) << player.errorText().toStdString();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(player.isMuted());
}

namespace {

// Whether the share holds a question about the file other than the reads of its streaming threads.
bool asksAbout(const StallableMount& share, const QString& name)
{
    for (const QString& request : share.heldRequests())
        if (request.endsWith("/" + name) && !request.startsWith("read "))
            return true;
    return false;
}

} // namespace

// A playing item whose share stops answering, twice: once it answers again just as the player asks it about the item's
// file, after the item has gone without a new frame for nearly the time after which an item that makes no progress
// fails (10 s); once well after that time, and then answers questions about its files a moment before it serves their
// reads. Either way the time the share kept the item waiting is not the item's, and it plays on.
TEST(PlayerStall, AnItemWhoseShareAnswersAsThePlayerAsksOrPastItsTimePlaysOn)
{
    const QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(putLongClipOn(share));
    GstPlayer player;
    QElapsedTimer sinceFrame;
    sinceFrame.start();
    QObject::connect(&player, &Player::frameArrived, [&] { sinceFrame.restart(); });
    player.load(QUrl::fromLocalFile(share.mount() + "/clip.mp4"));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.3; }, 20000)) << player.errorText().toStdString();

    struct Round
    {
        int answerAfterMs;
        bool readsLater;
    };
    for (const Round round : {Round{9000, false}, Round{11500, true}}) {
        SCOPED_TRACE(round.answerAfterMs);
        share.stall();
        ASSERT_TRUE(waitUntil([&] { return sinceFrame.elapsed() > round.answerAfterMs; }, round.answerAfterMs + 6000))
            << "frames came on";
        const std::optional<VideoFrame> frozen = player.currentFrame();
        ASSERT_TRUE(frozen);
        ASSERT_TRUE(waitUntil([&] { return asksAbout(share, "clip.mp4"); }, 5000))
            << "the player never asked the share";
        if (round.readsLater) {
            share.stallOnly({"read"});
            runEvents(1000);
            EXPECT_EQ(player.status(), PlayerStatus::ready) << player.errorText().toStdString();
        }
        share.answer();
        EXPECT_TRUE(waitUntil([&] {
            const std::optional<VideoFrame> frame = player.currentFrame();
            return frame && frame->time() > frozen->time() + 1;
        })) << player.errorText().toStdString();
        ASSERT_TRUE(player.isPlaying());
    }
}

// Loads from a share that holds every read while it still answers questions about its files: one load held past its
// time to open (8 s), one until just before it. The time the share kept a file's first look waiting is not the load's:
// both open once the share answers, though it answers slowly then, so that opening takes seconds more.
TEST(PlayerStall, LoadsWhoseShareHoldsTheirReadsOpenOnceItAnswers)
{
    const QTemporaryDir folder;
    StallableMount share(folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall"));
    if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString clip = MediaFixtures::video({.seconds = 2, .audio = true});
    ASSERT_TRUE(QFile::copy(clip, share.backing() + "/early.mp4"));
    ASSERT_TRUE(QFile::copy(clip, share.backing() + "/late.mp4"));

    share.stallOnly({"read"});
    QElapsedTimer since;
    since.start();
    GstPlayer early;
    early.load(QUrl::fromLocalFile(share.mount() + "/early.mp4"));
    waitUntil([&] { return since.elapsed() >= 1500; });
    GstPlayer late;
    late.load(QUrl::fromLocalFile(share.mount() + "/late.mp4"));
    waitUntil([&] { return since.elapsed() >= 9300; }, 20000);
    EXPECT_EQ(early.status(), PlayerStatus::loading) << early.errorText().toStdString();
    share.delay(0.05);
    share.answer();
    for (GstPlayer* player : {&early, &late}) {
        EXPECT_TRUE(waitUntil([&] { return player->isReady() || player->status() == PlayerStatus::failed; }, 20000));
        EXPECT_TRUE(player->isReady()) << player->url().fileName().toStdString() << ": "
                                       << player->errorText().toStdString();
    }
}

#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "mediaprobe.h"

#include <QDir>
#include <gtest/gtest.h>

// A long show makes and drops players and probes by the hundred: each one gone must give back its pipeline, whose
// bus alone holds descriptors, so a leak shows as descriptors that never come back.
namespace {

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size();
}

void playToTheEnd(const QString& path)
{
    GstPlayer player;
    bool ended = false;
    QObject::connect(&player, &Player::ended, [&] { ended = true; });
    player.load(QUrl::fromLocalFile(path));
    ASSERT_TRUE(waitUntil([&] { return player.status() != PlayerStatus::loading; }));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return ended; }));
}

} // namespace

TEST(PipelineRelease, PlayersAndProbesThatRanLeaveNoDescriptorsBehind)
{
    const QString video = MediaFixtures::video({.seconds = 0.3, .audio = true});
    const QUrl url = QUrl::fromLocalFile(video);
    // The first of each warms GStreamer up: its registry, clock and thread pools stay for the process.
    playToTheEnd(video);
    ASSERT_TRUE(mediaDuration(url));
    runEvents(200);
    const qsizetype before = openDescriptors();
    for (int round = 0; round < 4; ++round) {
        playToTheEnd(video);
        EXPECT_TRUE(mediaDuration(url));
        EXPECT_TRUE(videoFrameAt(url, 0.1));
    }
    EXPECT_TRUE(waitUntil([&] { return openDescriptors() <= before + 1; }))
        << openDescriptors() << " open, " << before << " before";
}

#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "mediaprobe.h"
#include "picture.h"

#include <QDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

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

// A show's screens each carry a preview and a programme picture: only those that show a video may hold a pipeline.
TEST(PipelineRelease, PicturesThatShowNoVideoHoldNoDescriptors)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 0.3}));
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png());
    playToTheEnd(video.toLocalFile());
    runEvents(200);
    const qsizetype before = openDescriptors();
    std::vector<std::unique_ptr<Picture>> pictures;
    for (int i = 0; i < 40; ++i)
        pictures.push_back(std::make_unique<Picture>(defaultPlayerFactory()));
    EXPECT_LE(openDescriptors(), before + 1) << "empty pictures";

    for (auto& picture : pictures)
        picture->load(video);
    ASSERT_TRUE(waitUntil(
        [&] { return std::all_of(pictures.begin(), pictures.end(), [](auto& p) { return p->player()->isReady(); }); }));
    EXPECT_GE(openDescriptors(), before + 40) << "each video holds its pipeline's bus";

    for (int i = 0; i < 40; ++i)
        pictures[i]->load(i % 2 ? std::optional(still) : std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return openDescriptors() <= before + 1; })) << "emptied and still pictures";
}

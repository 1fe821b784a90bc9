#include "eventwait.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "meshvideofeed.h"
#include "picture.h"
#include "pipelineworkers.h"
#include "playerpipeline.h"
#include "threadnice.h"

#include <QCoreApplication>
#include <QDir>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>

// A player let go on a GO is stopped and freed on a pipeline worker, and its pipelines are made there too: the show's
// thread neither waits for streaming threads to end nor builds elements. Nothing of a released pipeline may reach
// the player, its listeners or its owner afterwards, however far the pipeline had got.
namespace {

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size();
}

// Holds every pipeline worker busy until opened, as pipelines whose folder stopped answering hold theirs, so that a
// test sees, in the moment after a call, what the calling thread did by itself.
class BusyWorkers
{
  public:
    BusyWorkers()
    {
        // The gate outlives this object: the workers wake up and leave after it is gone.
        for (int i = 0; i < 8; ++i)
            PipelineWorkers::run([gate = m_gate] {
                std::unique_lock hold(gate->lock);
                gate->opened.wait(hold, [&] { return gate->open; });
            });
    }
    ~BusyWorkers() { open(); }
    void open()
    {
        std::scoped_lock hold(m_gate->lock);
        m_gate->open = true;
        m_gate->opened.notify_all();
    }

  private:
    struct Gate
    {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
    };
    std::shared_ptr<Gate> m_gate = std::make_shared<Gate>();
};

// Counts what reaches a player's owner: its notices and the frames its listener is called with.
struct Heard
{
    std::atomic<int> frames{0};
    int notices = 0;

    void listen(Player& player)
    {
        player.setDecodedFrameListener([this](const VideoFrame&, quint64) { ++frames; });
        for (auto signal : {&Player::ended, &Player::frameArrived})
            QObject::connect(&player, signal, [this] { ++notices; });
        QObject::connect(&player, &Player::statusChanged, [this] { ++notices; });
        QObject::connect(&player, &Player::failed, [this] { ++notices; });
    }
};

bool allReleased()
{
    return PipelineWorkers::waitForAll(10000) && PlayerPipeline::alive() == 0;
}

} // namespace

TEST(PlayerRelease, LoadingAndLettingGoLeaveTheCallingThreadAtOnce)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2}));
    auto player = std::make_unique<GstPlayer>();
    ASSERT_TRUE(allReleased());
    {
        BusyWorkers busy;
        // With every worker held, the load returns with no pipeline made: it is made on a worker.
        player->load(video);
        EXPECT_EQ(player->status(), PlayerStatus::loading);
        EXPECT_EQ(PlayerPipeline::alive(), 0);
    }
    ASSERT_TRUE(waitUntil([&] { return player->isReady(); }));
    player->play();
    ASSERT_TRUE(waitUntil([&] { return player->currentTime() > 0.2; }));
    {
        BusyWorkers busy;
        // Let go while playing, the player is gone at once and its pipeline waits for a worker to stop it.
        player.reset();
        EXPECT_EQ(PlayerPipeline::alive(), 1);
    }
    EXPECT_TRUE(allReleased());
}

// Workers held for long, as those stopping pipelines whose file's folder does not answer are until it does, hold no
// other player's work: a player loads and plays meanwhile.
TEST(PlayerRelease, WorkersHeldForLongHoldNoOtherPlayersWork)
{
    BusyWorkers busy;
    GstPlayer player;
    player.load(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2})));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    player.play();
    EXPECT_TRUE(waitUntil([&] {
        const std::optional<VideoFrame> frame = player.currentFrame();
        return frame && frame->time() > 0.3;
    }));
}

TEST(PlayerRelease, APlayerLetGoAtAnyPointOfItsPrerollCallsNothingBackAndLeavesNothingBehind)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2, .audio = true}));
    // The first pipeline warms GStreamer up: its registry, clock and thread pools stay for the process.
    {
        GstPlayer warm;
        warm.load(video);
        ASSERT_TRUE(waitUntil([&] { return warm.isReady(); }));
    }
    ASSERT_TRUE(allReleased());
    runEvents(100);
    const qsizetype before = openDescriptors();
    Heard heard;
    // From still being made on a worker, through prerolling, to ready: a later point in each round.
    for (int round = 0; round < 12; ++round) {
        auto player = std::make_unique<GstPlayer>();
        heard.listen(*player);
        player->load(video);
        runEvents(round * 4);
        const int notices = heard.notices;
        player.reset();
        // A streaming thread may hand a frame over right up to the release; none may come once it has returned.
        const int frames = heard.frames;
        EXPECT_TRUE(allReleased()) << "round " << round;
        runEvents(50);
        EXPECT_EQ(heard.frames, frames) << "round " << round;
        EXPECT_EQ(heard.notices, notices) << "round " << round;
    }
    EXPECT_TRUE(waitUntil([&] { return openDescriptors() <= before + 1; }))
        << openDescriptors() << " open, " << before << " before";
}

TEST(PlayerRelease, APlayingPictureLetGoStopsFeedingItsSubscribers)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 3, .audio = true}));
    auto picture = std::make_unique<Picture>(defaultPlayerFactory());
    std::atomic<int> direct{0};
    int onMain = 0;
    picture->meshVideoFeed()->addDirect([&](const VideoFrame&, quint64) { ++direct; });
    picture->meshVideoFeed()->add([&](const VideoFrame&) { ++onMain; });
    picture->load(video);
    ASSERT_TRUE(waitUntil([&] { return picture->player()->isReady(); }));
    picture->player()->play();
    ASSERT_TRUE(waitUntil([&] { return direct > 5 && onMain > 5; }));
    const int directBefore = direct;
    const int onMainBefore = onMain;
    // As the engine lets a cue's picture go: from the event loop, while its frames keep coming.
    picture.release()->deleteLater();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int directAtRelease = direct;
    EXPECT_TRUE(allReleased());
    runEvents(100);
    EXPECT_GE(directAtRelease, directBefore);
    EXPECT_EQ(direct, directAtRelease);
    EXPECT_LE(onMain - onMainBefore, 1) << "at most the announcement already on its way";
}

TEST(PlayerRelease, ReplacingAnItemWhileItsPipelineIsMadeKeepsOnlyTheLast)
{
    const QUrl first = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 1, .pattern = "red"}));
    const QUrl last = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 1, .pattern = "white"}));
    GstPlayer player;
    int failures = 0;
    QObject::connect(&player, &Player::failed, [&] { ++failures; });
    for (int round = 0; round < 5; ++round) {
        player.load(first);
        player.load(QUrl::fromLocalFile(MediaFixtures::missing()));
        player.load(last);
        player.setMuted(true);
        player.seek(0.5);
        ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
        ASSERT_TRUE(waitUntil([&] { return player.currentTime() >= 0.45; }));
        const std::optional<VideoFrame> frame = player.currentFrame();
        ASSERT_TRUE(frame);
        EXPECT_GT(qGray(frame->toImage().pixel(160, 120)), 200) << "the last item's picture";
        EXPECT_TRUE(player.isMuted());
    }
    ASSERT_TRUE(PipelineWorkers::waitForAll(10000));
    EXPECT_EQ(PlayerPipeline::alive(), 1) << "the current item's pipeline alone";
    runEvents(100);
    EXPECT_EQ(failures, 0);
}

TEST(PlayerRelease, PlayersLetGoAsTheProgramQuitsAreStoppedWithinTheQuitsDeadline)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.seconds = 3, .audio = true}));
    std::vector<std::unique_ptr<GstPlayer>> players;
    for (int i = 0; i < 6; ++i) {
        players.push_back(std::make_unique<GstPlayer>());
        players.back()->load(video);
        players.back()->play();
    }
    ASSERT_TRUE(waitUntil(
        [&] { return std::all_of(players.begin(), players.end(), [](auto& p) { return p->currentTime() > 0.1; }); }));
    // Two still being made when the event loop ends.
    players[0]->load(video);
    players[1]->load(video);
    players.clear();
    // What the program does after its event loop ends: every release done within its two seconds.
    EXPECT_TRUE(PipelineWorkers::waitForAll(2000));
    EXPECT_EQ(PlayerPipeline::alive(), 0);
}

// Decoding yields to the show's clock: the workers, and the streaming threads of the pipelines they start, run
// below the thread that asked for the pipeline.
TEST(PlayerRelease, PipelinesRunBelowTheShowsThread)
{
    GstPlayer player;
    player.load(QUrl::fromLocalFile(MediaFixtures::video({.seconds = 2})));
    ASSERT_TRUE(waitUntil([&] { return player.isReady(); }));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return player.currentTime() > 0.1; }));
    QList<pid_t> media = ThreadNice::threadsNamed(QStringLiteral("lumo-pipelines"));
    ASSERT_FALSE(media.isEmpty());
    const QList<pid_t> streaming = ThreadNice::threadsNamed(QStringLiteral("qtdemux"));
    ASSERT_FALSE(streaming.isEmpty());
    media += streaming;
    for (const pid_t thread : media)
        EXPECT_GT(ThreadNice::niceOf(thread), ThreadNice::ownNice()) << thread;
}

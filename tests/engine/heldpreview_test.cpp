#include "asidethreads.h"
#include "cuepreview.h"
#include "enginefixture.h"
#include "stallablemount.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

// Preview stills of a video on a real FUSE share that stops answering, beside a local video on three screens.
// Skipped where FUSE or python3-fusepy is missing.
class HeldPreview : public EngineTest
{
  protected:
    void SetUp() override
    {
        if (const QString why = share.mountOrSayWhy(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        EngineTest::SetUp();
    }

    // Screen 1 shows a one-second video from the share, then the local video from 1 s on; screens 2 and 3 show the
    // local video from the start. A file of its own each time: what was read before is kept by the kernel.
    void showHeldBesideLocal(const QString& name)
    {
        ASSERT_TRUE(QFile::copy(MediaFixtures::indexedVideo(90), share.backing() + "/" + name));
        const MediaAsset held = addAsset(QUrl::fromLocalFile(share.mount() + "/" + name), AssetKind::video, 1);
        local = addAsset(QUrl::fromLocalFile(MediaFixtures::indexedVideo(90)), AssetKind::video, 3);
        TimelineEvent third = clip(local, 0);
        third.outputScreen = kScreen3;
        setScreens({kScreen1, kScreen2, kScreen3});
        setTimeline(0, {clip(held, 0), clip(local, 1), clip(local, 0, Track::side), third});
    }
    // Reads of the share stop, and a still of the share's video is asked for until the share holds one.
    void holdAStill(const QString& name, double time)
    {
        share.stallOnly({"read"});
        engine->previewTimeline(cue(0), time);
        ASSERT_TRUE(waitUntil([&] { return share.heldRequests().join('\n').contains(name); }))
            << share.heldRequests().join('\n').toStdString();
    }
    // The screen's preview shows the local video's frame at that second of it.
    bool showsLocal(const ScreenRole& role, double second) const
    {
        const Picture* picture = engine->preview(role);
        const std::optional<QImage> still = picture->image();
        return still && picture->stillSource() == local.url &&
               std::abs(MediaFixtures::frameIndexOf(*still) - qRound(second * 30)) <= 1;
    }

    StallableMount share{folder.filePath("backing"), folder.filePath("share"), folder.filePath("stall")};
    MediaAsset local;
};

// While the share holds a still of screen 1, the scrub goes on: every still of the local video, on screen 1 and on
// the others, comes within a second, however many stills the share holds (more than there used to be threads) and
// across an open of the same show; when the share answers, none of its late stills lands on the previews.
TEST_F(HeldPreview, AStillHeldByTheShareHoldsNoOtherStillOnAnyScreen)
{
    struct Case
    {
        const char* name;
        int heldScrubs;
        bool reopened;
    };
    qint64 slowestMs = 0;
    const auto comesWithinASecond = [&](const std::function<bool()>& shown) {
        QElapsedTimer waited;
        waited.start();
        const bool came = waitUntil(shown, 1000);
        slowestMs = std::max(slowestMs, waited.elapsed());
        return came;
    };
    for (const Case& held :
         {Case{"one held still", 1, false}, Case{"four held stills", 4, false}, Case{"held before an open", 3, true}}) {
        SCOPED_TRACE(held.name);
        const QString name = QStringLiteral("held%1%2.mp4").arg(held.heldScrubs).arg(held.reopened);
        showHeldBesideLocal(name);
        if (held.reopened) {
            ASSERT_EQ(save(url("show.json")), std::nullopt);
        }
        double last = 0;
        for (int scrub = 0; scrub < held.heldScrubs; ++scrub) {
            SCOPED_TRACE(scrub);
            const double onShare = 0.2 + 0.1 * scrub;
            if (scrub == 0)
                holdAStill(name, onShare);
            else
                engine->previewTimeline(cue(0), onShare);
            EXPECT_TRUE(comesWithinASecond([&] {
                return showsLocal(kScreen2, onShare) && showsLocal(kScreen3, onShare);
            })) << "the other screens waited for the share";
            if (held.reopened && scrub == 0) {
                ASSERT_EQ(open(url("show.json")), std::nullopt);
            }
            last = 1.5 + 0.3 * scrub;
            engine->previewTimeline(cue(0), last);
            EXPECT_TRUE(comesWithinASecond([&] {
                return showsLocal(kScreen1, last - 1) && showsLocal(kScreen2, last) && showsLocal(kScreen3, last);
            })) << "the next file on the same screen waited for the share";
        }
        share.answer();
        ASSERT_TRUE(waitUntil([&] { return !engine->cuePreview().grabbing(); }));
        // What the held grabs made was posted before their threads let go.
        QCoreApplication::processEvents();
        EXPECT_TRUE(showsLocal(kScreen1, last - 1)) << "a late still of the share landed";
    }
    std::printf("stills of local videos beside held ones came within %lld ms\n", static_cast<long long>(slowestMs));
}

// Tearing the engine down leaves a still the share holds to end on its own thread: the teardown returns at once,
// and the still ends without harm whenever the share answers, right away or well after.
TEST_F(HeldPreview, TheEngineGoesAtOnceAndAHeldStillEndsOnItsOwn)
{
    for (const int answerAfterMs : {0, 300, 1500}) {
        SCOPED_TRACE(answerAfterMs);
        const QString name = QStringLiteral("teardown%1.mp4").arg(answerAfterMs);
        engine = makeEngine(true);
        showHeldBesideLocal(name);
        holdAStill(name, 0.5);

        // A teardown that waits for the still ends when a watch makes the share answer after a second, and fails.
        std::mutex lock;
        std::condition_variable done;
        bool tornDown = false;
        std::thread watch([&] {
            std::unique_lock hold(lock);
            if (!done.wait_for(hold, std::chrono::seconds(1), [&] { return tornDown; }))
                share.answer();
        });
        QElapsedTimer teardown;
        teardown.start();
        engine.reset();
        const qint64 tookMs = teardown.elapsed();
        {
            std::lock_guard hold(lock);
            tornDown = true;
        }
        done.notify_all();
        watch.join();
        EXPECT_LT(tookMs, 1000) << "the teardown waited for the share";
        std::printf("the teardown with a held still took %lld ms\n", static_cast<long long>(tookMs));

        QTimer::singleShot(answerAfterMs, [&] { share.answer(); });
        EXPECT_TRUE(waitUntil([] { return AsideThreads::waitForUnwaited(0); }));
    }
}

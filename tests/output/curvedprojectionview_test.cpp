#include "curvedprojectionview.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "meshfixtures.h"
#include "meshvideofeed.h"
#include "picture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

static QImage filled(QColor colour)
{
    QImage image(32, 18, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

static const QUrl videoUrl = QUrl::fromLocalFile(QStringLiteral("/media/clip.mp4"));

class CurvedProjection : public ::testing::Test
{
  protected:
    void show(CurvedProjectionView& view)
    {
        view.resize(160, 90);
        view.show();
        ASSERT_TRUE(waitUntil([&] { return view.windowHandle() && view.windowHandle()->isExposed(); }));
    }

    // The centre of the drawing on show; invalid before the first.
    QColor centre(CurvedProjectionView& view, const QString& shot)
    {
        QCoreApplication::processEvents();
        const QImage image = view.shownImage();
        if (image.isNull())
            return {};
        saveShot(image, shot);
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }

    static FakePlayer* fake(Picture& picture) { return static_cast<FakePlayer*>(picture.player()); }

    Picture root{fakePlayers()};
    Picture other{fakePlayers()};
};

TEST_F(CurvedProjection, EmptyPictureShowsTheStandbyArtworkAndAStillIsDrawnWithoutSubscribing)
{
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    ASSERT_TRUE(waitUntil([&] { return !view.shownImage().isNull(); }));
    const QImage standby = view.shownImage();
    saveShot(standby, "curved-standby");
    EXPECT_NE(standby.pixelColor(5, 5), QColor(Qt::black));

    root.setImage(filled(Qt::red));
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-still") == QColor(Qt::red); }));
    EXPECT_FALSE(view.isSubscribed());
    EXPECT_FALSE(root.meshVideoFeed()->isRunning());
    EXPECT_TRUE(view.errorText().isEmpty());
}

TEST_F(CurvedProjection, IndependentOutputIsShownButTheRootBlackCounts)
{
    root.setImage(filled(Qt::red));
    other.setImage(filled(Qt::blue));
    root.setIndependentOutput(&other);
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-independent") == QColor(Qt::blue); }));
    root.setBlack(true);
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-root-black") == QColor(Qt::black); }));
    root.setBlack(false);
    other.setBlack(true);
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-independent-black-ignored") == QColor(Qt::blue); }));
}

TEST_F(CurvedProjection, ForegroundVideoShowsTheFallbackUntilItsFirstFrame)
{
    root.setFallback(filled(Qt::green));
    other.load(videoUrl);
    root.setForeground(&other);
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    EXPECT_TRUE(view.isSubscribed());
    EXPECT_TRUE(other.meshVideoFeed()->isRunning());
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-foreground-fallback") == QColor(Qt::green); }));

    fake(other)->setFrame(rgbaFrame(filled(Qt::magenta), 1));
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-foreground-frame") == QColor(Qt::magenta); }));
}

TEST_F(CurvedProjection, SubscribesOnlyWhileShownAndShowingVideo)
{
    root.load(videoUrl);
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    EXPECT_FALSE(view.isSubscribed());
    show(view);
    EXPECT_TRUE(root.meshVideoFeed()->isRunning());

    view.setPattern(true);
    EXPECT_FALSE(root.meshVideoFeed()->isRunning());
    view.setPattern(false);
    EXPECT_TRUE(root.meshVideoFeed()->isRunning());

    root.setBlack(true);
    EXPECT_TRUE(waitUntil([&] { return !view.isSubscribed(); }));
    root.setBlack(false);
    EXPECT_TRUE(waitUntil([&] { return view.isSubscribed(); }));

    view.hide();
    EXPECT_FALSE(root.meshVideoFeed()->isRunning());
    view.show();
    EXPECT_TRUE(root.meshVideoFeed()->isRunning());

    root.load(std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return !root.meshVideoFeed()->isRunning(); }));
}

TEST_F(CurvedProjection, AsAMonitorRedrawsTheVideoAtMost24TimesASecondAndNotWhenHidden)
{
    root.load(videoUrl);
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    QTimer player;
    std::uint64_t serial = 0;
    QObject::connect(&player, &QTimer::timeout, [&] { fake(root)->setFrame(rgbaFrame(filled(Qt::red), ++serial)); });
    player.start(5);
    ASSERT_TRUE(waitUntil([&] { return centre(view, "curved-monitor-video") == QColor(Qt::red); }));

    QElapsedTimer clock;
    clock.start();
    const quint64 drawn = view.drawings();
    // About a second of frames, or longer when a busy machine delivers fewer.
    const std::uint64_t first = serial;
    ASSERT_TRUE(waitUntil([&] { return serial > first + 200 && view.drawings() > drawn; }, 30000));
    const qint64 elapsed = clock.elapsed();
    EXPECT_LE(view.drawings() - drawn, quint64(elapsed / 41 + 1)) << "over " << elapsed << " ms";

    view.hide();
    runEvents(100);
    const quint64 hidden = view.drawings();
    runEvents(300);
    EXPECT_EQ(view.drawings(), hidden);
}

TEST_F(CurvedProjection, NewVideoKeepsTheOldFrameUntilItsOwnArrives)
{
    root.load(videoUrl);
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    fake(root)->setFrame(rgbaFrame(filled(Qt::red), 1));
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-video-first") == QColor(Qt::red); }));

    root.load(videoUrl);
    QCoreApplication::processEvents();
    EXPECT_TRUE(view.isSubscribed());
    runEvents(200);
    EXPECT_EQ(centre(view, "curved-video-held"), QColor(Qt::red));
    fake(root)->setFrame(rgbaFrame(filled(Qt::cyan), 2));
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-video-second") == QColor(Qt::cyan); }));
}

TEST_F(CurvedProjection, DestroyingThePictureLeavesTheViewWorking)
{
    auto picture = std::make_unique<Picture>(fakePlayers());
    picture->load(videoUrl);
    CurvedProjectionView view(picture.get(), ProjectorMapping(), false);
    show(view);
    EXPECT_TRUE(view.isSubscribed());
    picture.reset();
    EXPECT_TRUE(waitUntil([&] { return !view.isSubscribed(); }));
    runEvents(200);
    EXPECT_FALSE(view.shownImage().isNull());
}

#include "curvedprojectionview.h"
#include "eventwait.h"
#include "fakeplayer.h"
#include "meshfixtures.h"
#include "meshpicture.h"
#include "meshvideofeed.h"
#include "offscreenmeshrenderer.h"
#include "picture.h"
#include "recycledplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
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

// A clip played again by a new player made where the released player of its last play lay: the monitor shows the new
// player's frames, not the last frame of the released one.
TEST_F(CurvedProjection, AVideoWhosePlayerTakesAReleasedPlayersPlaceShowsItsOwnFrames)
{
    using Recycled = RecycledPlayer<FakePlayer>;
    Recycled::startAfresh();
    const PlayerFactory players = [](QObject* parent) { return std::make_unique<Recycled>(parent); };
    CurvedProjectionView view(&root, ProjectorMapping(), false);
    show(view);
    auto played = std::make_unique<Picture>(players);
    played->load(videoUrl);
    root.setForeground(played.get());
    for (std::uint64_t serial = 1; serial <= 30; ++serial)
        fake(*played)->setFrame(rgbaFrame(filled(Qt::red), serial));
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-replay-first") == QColor(Qt::red); }));
    root.setForeground(nullptr);
    const quintptr place = quintptr(played->player());
    played.reset();
    QCoreApplication::processEvents();

    Picture between(players);
    Picture replayed(players);
    ASSERT_EQ(quintptr(replayed.player()), place);
    replayed.load(videoUrl);
    fake(replayed)->setFrame(rgbaFrame(filled(Qt::cyan), 1));
    root.setForeground(&replayed);
    EXPECT_TRUE(waitUntil([&] { return centre(view, "curved-replay-again") == QColor(Qt::cyan); }));
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
    EXPECT_TRUE(waitUntil([&] { return !view.shownImage().isNull(); }));
}

// Pixels that differ between the two images in red, green or blue; every pixel when the sizes differ.
static qsizetype differingPixels(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return expected.width() * expected.height();
    qsizetype differing = 0;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            differing += (actual.pixel(x, y) & 0xffffff) != (expected.pixel(x, y) & 0xffffff) ? 1 : 0;
    return differing;
}

// The monitor shows what the renderer draws into a framebuffer of the view's size, pixel for pixel, as the GL view
// in the window showed it before: the read-back and the paint neither flip, recolour nor scale it.
TEST_F(CurvedProjection, AMonitorPaintsExactlyWhatTheRendererDrawsForItsSize)
{
    QImage picture = bands({160, 90}, {Qt::red, Qt::green, Qt::blue, Qt::yellow});
    QPainter(&picture).fillRect(QRect(0, 0, 60, 30), Qt::white);
    root.setImage(picture);
    ProjectorMapping mapping;
    mapping.enabled = true;
    QList<QPointF> nodes = mapping.meshPoints();
    nodes[4] += QPointF(0.1, 0.05);
    mapping.mesh = nodes;
    mapping.edges = {0.15, 0, 0.1, 0};
    mapping.blackLevel = 0.05;
    mapping.polygonMask = QList<QPointF>{{0.05, 0.05}, {0.95, 0.1}, {0.9, 0.95}, {0.1, 0.9}};
    const QSize size(240, 135);

    OffscreenMeshRenderer reference;
    ASSERT_TRUE(reference.isValid()) << reference.errorText().toStdString();
    MeshInputs inputs;
    inputs.mapping = mapping;
    inputs.frames = std::make_shared<MeshFrames>();
    MeshPicture::describe(&root, inputs, MeshPicture::Standby::untilFirstFrame);
    // The mask's field is made on a pool thread and taken in by a later update.
    ASSERT_TRUE(waitUntil([&] {
        reference.renderer().update(inputs);
        return !reference.renderer().waitsForMask();
    }));
    const QImage expected = reference.render(size);
    saveShot(expected, "curved-monitor-reference");

    CurvedProjectionView view(&root, mapping, false);
    view.resize(size);
    view.show();
    EXPECT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return differingPixels(view.shownImage(), expected) == 0;
    })) << differingPixels(view.shownImage(), expected)
        << " pixels differ";
    EXPECT_EQ(differingPixels(grabbed(view, "curved-monitor-painted"), expected), 0);
    EXPECT_TRUE(view.errorText().isEmpty());
}

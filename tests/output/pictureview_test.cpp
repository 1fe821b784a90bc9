#include "eventwait.h"
#include "fakeplayer.h"
#include "meshfixtures.h"
#include "picture.h"
#include "pictureview.h"
#include "videomonitorsurface.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QWindow>
#include <gtest/gtest.h>

static QImage filled(QColor colour, QSize size = {160, 90})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

static const QUrl videoUrl = QUrl::fromLocalFile(QStringLiteral("/media/clip.mp4"));

class PictureViews : public ::testing::Test
{
  protected:
    static FakePlayer* fake(Picture& picture) { return static_cast<FakePlayer*>(picture.player()); }
    // A video whose player shows a 4:3 frame of one colour.
    void playVideo(Picture& picture, QColor colour)
    {
        picture.load(videoUrl);
        fake(picture)->show(filled(colour, {40, 30}));
    }

    Picture root{fakePlayers()};
    Picture other{fakePlayers()};
};

TEST_F(PictureViews, LayersFromBlackToContent)
{
    struct Case
    {
        const char* shot;
        std::function<void(Picture& root, Picture& other)> arrange;
        QColor corner; // letterbox of a 4:3 video, or the whole view; invalid: anything but black
        QColor centre;
    };
    const Case cases[] = {
        {"picture-standby", [](Picture& p, Picture&) { p.setShowsStandby(true); }, {}, {}},
        {"picture-black-over-independent",
         [](Picture& p, Picture& o) {
             o.setImage(filled(Qt::red));
             p.setIndependentOutput(&o);
             p.setBlack(true);
         },
         Qt::black, Qt::black},
        {"picture-fallback-under-video",
         [&](Picture& p, Picture&) {
             p.setFallback(filled(Qt::green));
             playVideo(p, Qt::red);
         },
         Qt::green, Qt::red},
        {"picture-fallback-not-standby",
         [](Picture& p, Picture&) {
             p.setShowsStandby(true);
             p.setFallback(filled(Qt::green));
         },
         Qt::green, Qt::green},
        {"picture-video-without-fallback",
         [&](Picture& p, Picture&) {
             p.setShowsStandby(true);
             playVideo(p, Qt::red);
         },
         Qt::black, Qt::red},
        {"picture-foreground-over-fallback",
         [&](Picture& p, Picture& o) {
             p.setFallback(filled(Qt::green));
             playVideo(o, Qt::blue);
             p.setForeground(&o);
         },
         Qt::green, Qt::blue},
    };
    for (const Case& c : cases) {
        Picture picture{fakePlayers()};
        Picture second{fakePlayers()};
        c.arrange(picture, second);
        PictureView view(&picture, false);
        showOnScreen(view);
        QImage image;
        EXPECT_TRUE(waitUntil([&] {
            image = grabbed(view);
            const QColor corner = image.pixelColor(3, 45);
            return (c.corner.isValid() ? near(corner, c.corner) : corner != QColor(Qt::black)) &&
                   (!c.centre.isValid() || near(image.pixelColor(80, 45), c.centre));
        })) << c.shot;
        saveShot(image, c.shot);
    }
}

TEST_F(PictureViews, MonitorSamplesOnlyWhileOnScreen)
{
    playVideo(root, Qt::red);
    PictureView view(&root, false);
    auto* surface = static_cast<const VideoMonitorSurface*>(view.canvas().surface());
    runEvents(100);
    EXPECT_FALSE(surface->isSampling());
    EXPECT_EQ(fake(root)->frameRequests, 0);

    showOnScreen(view);
    EXPECT_TRUE(surface->isSampling());
    EXPECT_TRUE(waitUntil([&] { return grabbed(view).pixelColor(80, 45) == QColor(Qt::red); }));
    // A new item's frames arrive within a tick.
    playVideo(root, Qt::blue);
    EXPECT_TRUE(waitUntil([&] { return grabbed(view).pixelColor(80, 45) == QColor(Qt::blue); }));

    view.hide();
    EXPECT_FALSE(surface->isSampling());
    EXPECT_TRUE(surface->image().isNull());
}

// Converting a frame is per-frame pixel work, done on a pool thread: the image comes after the call. A conversion
// still under way when the monitor leaves the screen is never shown, even once the monitor is back.
TEST_F(PictureViews, MonitorConvertsFramesOffTheMainThreadAndDropsOneOvertaken)
{
    playVideo(root, Qt::red);
    VideoMonitorSurface surface;
    surface.show(root.player());
    QList<QColor> shown;
    QObject::connect(&surface, &VideoSurface::changed, [&] {
        if (!surface.image().isNull())
            shown << surface.image().pixelColor(0, 0);
    });
    surface.setActive(true);
    EXPECT_TRUE(surface.image().isNull()) << "converted on the main thread";
    surface.setActive(false);
    fake(root)->show(filled(Qt::blue, {40, 30}));
    surface.setActive(true);
    ASSERT_TRUE(waitUntil([&] { return !shown.isEmpty() && shown.last() == QColor(Qt::blue); }));
    EXPECT_FALSE(shown.contains(QColor(Qt::red))) << "a frame converted for the monitor before it left";
}

TEST_F(PictureViews, AssistiveTechnologyHearsTheStandbyArtworkOnlyWhileItIsShown)
{
    root.setShowsStandby(true);
    PictureView view(&root, false);
    QAccessibleInterface* artwork = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(artwork, nullptr);
    EXPECT_EQ(artwork->text(QAccessible::Name), QStringLiteral("Lumoria 待机画面"));

    playVideo(root, Qt::red);
    EXPECT_TRUE(waitUntil([&] { return artwork->text(QAccessible::Name).isEmpty(); }));
    root.load(std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return !artwork->text(QAccessible::Name).isEmpty(); }));
}

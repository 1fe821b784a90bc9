#include "bentmesh.h"
#include "engine.h"
#include "gstplayer.h"
#include "mediafixtures.h"
#include "picture.h"
#include "recycledplayer.h"
#include "screendisplayprovider.h"
#include "screenoutputwindow.h"
#include "screenoutputwindows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using RecycledGstPlayer = RecycledPlayer<GstPlayer>;

// The players an engine makes, in order, kept by the test to see when a video is prepared.
struct MadePlayers
{
    PlayerFactory factory()
    {
        return [this](QObject* parent) {
            std::unique_ptr<Player> player = std::make_unique<RecycledGstPlayer>(parent);
            made.append(player.get());
            return player;
        };
    }
    // A player holding the clip, prerolled on its first frame, and made after the given count of players.
    bool prepared(const QUrl& clip, qsizetype after) const
    {
        for (qsizetype i = after; i < made.size(); ++i)
            if (made[i] && made[i]->url() == clip && made[i]->isReady() && made[i]->currentFrame())
                return true;
        return false;
    }

    QList<QPointer<Player>> made;
};

// What the output shows, read back from the X server: the number of the clip's frame, or none for a still.
std::optional<int> frameOnScreen(QScreen* screen)
{
    const QSize size = screen->size();
    // The clip's lower half is grey; the stills are red and blue.
    const QColor lower =
        screen->grabWindow(0, size.width() / 2, size.height() * 3 / 4, 1, 1).toImage().pixelColor(0, 0);
    if (std::abs(lower.red() - lower.blue()) > 30 || lower.green() < 100 || lower.green() > 220)
        return std::nullopt;
    // The squares of the frame's number sit across its upper half.
    return MediaFixtures::frameIndexOf(
        screen->grabWindow(0, 0, 0, size.width(), size.height() / 2).toImage().scaled(size.width(), size.height()));
}

// Waits in an event loop of its own, as the program's runs: what is deleted later is deleted meanwhile.
bool waitInLoop(const std::function<bool()>& condition, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    check.start(1);
    if (!condition())
        loop.exec();
    return condition();
}

ProjectorMapping pinned()
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.corners = {{0.02, 0.02}, {0.98, 0}, {1, 1}, {0, 0.98}};
    return mapping;
}

} // namespace

// A clip played, then prepared, released and prepared again before it plays a second time: each play starts from
// its own first frame, shown at once on GO, and moves on; nothing of an earlier play or of a released preparation
// shows, through the curved mesh as through a corner pin or on the plain output.
TEST(ReplayedClip, EveryPlayStartsFromItsOwnFirstFrameAndMoves)
{
    const QUrl clip = QUrl::fromLocalFile(MediaFixtures::indexedVideo(150, 30, {640, 360}));
    const QUrl red = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, QColor(200, 40, 40)));
    const QUrl blue = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, QColor(40, 60, 200)));

    for (const auto& [name, mapping] : {std::pair{"curved", bentMesh(17, 0.02)}, std::pair{"pinned", pinned()},
                                        std::pair{"plain", ProjectorMapping()}}) {
        SCOPED_TRACE(name);
        // The pictures of the engine before go first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        RecycledGstPlayer::startAfresh();
        QTemporaryDir folder;
        MadePlayers players;
        Engine::Services services;
        services.displays = std::make_shared<ScreenDisplayProvider>();
        services.windows = std::make_shared<ScreenOutputWindows>();
        services.players = players.factory();
        Engine engine(true, nullptr, folder.path(), services);
        Show show = engine.show();
        show.outputScreens = QList<ScreenRole>{kScreen1};
        show.cues.clear();
        for (const QUrl& file : {red, clip, blue}) {
            Cue cue;
            cue.name = file.fileName();
            cue.main = file;
            show.cues.append(cue);
        }
        engine.setShow(show);
        const QList<Cue> cues = engine.show().cues;
        engine.setMapping(mapping, kScreen1);
        const DisplayScreen display = engine.displays().first();
        engine.bind(kScreen1, display.number);
        QScreen* screen = ScreenDisplayProvider::screen(display.number);
        ASSERT_TRUE(screen);
        const auto shows = [&](std::function<bool(std::optional<int>)> wanted, int timeoutMs = 10000) {
            return waitInLoop([&] { return wanted(frameOnScreen(screen)); }, timeoutMs);
        };

        // The first play runs about a second.
        qsizetype before = players.made.size();
        engine.take(cues[0]);
        ASSERT_TRUE(waitInLoop([&] { return players.prepared(clip, before); }, 20000));
        engine.go();
        ASSERT_TRUE(shows([](std::optional<int> frame) { return frame >= 28; }, 20000));
        engine.go();
        ASSERT_TRUE(shows([](std::optional<int> frame) { return !frame; }));

        // Prepared again, released, prepared once more.
        engine.stop(true);
        before = players.made.size();
        engine.take(cues[0]);
        ASSERT_TRUE(waitInLoop([&] { return players.prepared(clip, before); }, 20000));
        engine.stop(true);
        before = players.made.size();
        engine.take(cues[0]);
        ASSERT_TRUE(waitInLoop([&] { return players.prepared(clip, before); }, 20000));
        ASSERT_TRUE(shows([](std::optional<int> frame) { return !frame; }));

        QElapsedTimer sinceGo;
        sinceGo.start();
        engine.go();
        std::optional<int> first;
        EXPECT_TRUE(shows([&](std::optional<int> frame) { return (first = frame).has_value(); }));
        // On a machine too busy to read the screen back at once, a few frames of the new play may have gone by; the
        // play before ran past frame 28.
        EXPECT_LE(first.value_or(-1), 5) << "the first frame shown after GO";
        const bool moved = shows([&](std::optional<int> frame) { return frame && frame != first; });
        EXPECT_TRUE(moved) << "still on frame " << first.value_or(-1) << " " << sinceGo.elapsed() << " ms after GO";
        QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
        screen->grabWindow(0).save(QStringLiteral(LUMO_TEST_SHOTS "/replayed-clip-%1.png").arg(name));
        engine.stop(true);
    }
}

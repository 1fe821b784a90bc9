// Figures for preview: the time from previewTimeline(cue, t) to both screens' stills being set, for a cue with a
// 1080p H.264 clip on each of two screens, and whether a fast scrub ends on its last position's pictures.
//   preview_bench [rounds, 50 by default]
#include "audiochannelmixer.h"
#include "benchtools.h"
#include "engine.h"
#include "mediafixtures.h"
#include "mediaprobe.h"
#include "picture.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

using BenchTools::percentile;

constexpr double kClipSeconds = 10;

// Runs the event loop until the engine reports its stills set; false when it did not within the time.
bool waitForStills(Engine& engine, int timeoutMs)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&engine, &Engine::timelinePreviewed, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    return done;
}

void runEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Setup
{
    std::unique_ptr<Engine> engine;
    QUrl first;
    QUrl second;
};

Setup makeShow(const QTemporaryDir& folder)
{
    Setup setup;
    setup.first = QUrl::fromLocalFile(MediaFixtures::video({.size = {1920, 1080}, .seconds = kClipSeconds}));
    setup.second = QUrl::fromLocalFile(
        MediaFixtures::video({.size = {1920, 1080}, .seconds = kClipSeconds, .pattern = QStringLiteral("ball")}));
    setup.engine =
        std::make_unique<Engine>(false, std::make_shared<AudioChannelMixer>(), folder.path(), Engine::Services{});
    Show show = setup.engine->show();
    MediaAsset first{.url = setup.first, .kind = AssetKind::video, .duration = kClipSeconds};
    MediaAsset second{.url = setup.second, .kind = AssetKind::video, .duration = kClipSeconds};
    show.assets = QList<MediaAsset>{first, second};
    show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
    TimelineEvent main;
    main.assetID = first.id;
    TimelineEvent side;
    side.track = Track::side;
    side.assetID = second.id;
    show.cues[0].timeline = QList<TimelineEvent>{main, side};
    setup.engine->setShow(show);
    return setup;
}

void previewLatency(Setup& setup, int rounds)
{
    Engine& engine = *setup.engine;
    std::mt19937 random(2024);
    std::uniform_real_distribution<double> anywhere(0, kClipSeconds - 0.1);
    std::vector<double> latency;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer elapsed;
        elapsed.start();
        engine.previewTimeline(engine.show().cues[0], anywhere(random));
        if (waitForStills(engine, 10000))
            latency.push_back(double(elapsed.nsecsElapsed()) / 1e6);
        else
            ++missed;
    }
    std::printf("Preview of a timeline at a random second: two 1080p H.264 clips (GOP 1 s) on two screens, stills "
                "of at most 960 x 540\n");
    std::printf("  previewTimeline to both stills set (20 ms settling included)   median %7.1f ms   p99 %7.1f ms   "
                "max %7.1f ms   (n=%zu, missed %d)   goal: median under 100 ms\n",
                percentile(latency, 0.5), percentile(latency, 0.99), percentile(latency, 1.0), latency.size(), missed);
}

bool sameImage(const std::optional<QImage>& shown, const std::optional<QImage>& expected)
{
    return shown && expected &&
           shown->convertToFormat(QImage::Format_RGB32) == expected->convertToFormat(QImage::Format_RGB32);
}

void scrub(Setup& setup)
{
    Engine& engine = *setup.engine;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> anywhere(0, kClipSeconds - 0.1);
    Picture* first = engine.preview(kScreen1);
    Picture* second = engine.preview(kScreen2);
    int stillsSet = 0;
    for (Picture* picture : {first, second})
        QObject::connect(picture, &Picture::imageChanged, [&, picture] { stillsSet += picture->image().has_value(); });
    double last = 0;
    QElapsedTimer elapsed;
    for (int call = 0; call < 20; ++call) {
        last = anywhere(random);
        engine.previewTimeline(engine.show().cues[0], last);
        elapsed.start();
        if (call < 19)
            runEvents(30);
    }
    const bool finished = waitForStills(engine, 10000);
    const double settled = double(elapsed.nsecsElapsed()) / 1e6;
    runEvents(500);
    const bool lastShown = sameImage(first->image(), videoFrameAt(setup.first, last, {960, 540})) &&
                           sameImage(second->image(), videoFrameAt(setup.second, last, {960, 540}));
    std::printf("Scrub: 20 previewTimeline calls 30 ms apart\n");
    std::printf("  after the last call, both stills set in %.1f ms%s; stills set during the whole scrub: %d\n", settled,
                finished ? "" : " (not finished within 10 s)", stillsSet);
    std::printf("  the screens end on the last position's frames: %s\n", lastShown ? "yes" : "NO");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 50;
    QTemporaryDir folder;
    Setup setup = makeShow(folder);
    previewLatency(setup, rounds);
    scrub(setup);
    return 0;
}

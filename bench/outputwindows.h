#pragma once

// The output windows part of output_bench: two bound 1920 × 1080 output windows on two displays, each playing a
// 1080p30 H.264 clip through a curved mapping with blends. Per window: frames drawn per second, the longest gap
// between two drawn frames, and the frames of the video that were never drawn.
#include "curvedprojectionview.h"
#include "displayprovider.h"
#include "engine.h"
#include "mappedoutput.h"
#include "mediafixtures.h"
#include "meshvideofeed.h"
#include "meshwindow.h"
#include "picture.h"
#include "screendisplayprovider.h"
#include "screenoutputwindow.h"
#include "screenoutputwindows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <cstdio>

namespace outputwindows {

struct WindowFigures
{
    QElapsedTimer clock;
    qint64 lastDraw = -1;
    qint64 longestGap = 0;
    int draws = 0;
    QSet<qint64> drawnFrames; // media times of the video frames on show at each draw, in ms
    double firstTime = -1;
    double lastTime = -1;
};

inline int run(double seconds, const ProjectorMapping& mapping)
{
    if (QGuiApplication::screens().size() < 2) {
        std::printf("output windows: skipped, needs two displays "
                    "(xvfb-run -a -s \"-screen 0 1920x1080x24 -screen 1 1920x1080x24\")\n");
        return 0;
    }
    std::printf("output windows: making a %.0f s 1080p30 H.264 clip (cached)...\n", seconds + 5);
    std::fflush(stdout);
    const QString clip = MediaFixtures::video({{1920, 1080}, seconds + 5, 30, VideoCodec::h264});
    QTemporaryDir folder;
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    Engine engine(true, nullptr, folder.path(), services);
    const QList<ScreenRole> roles{ScreenRole{QStringLiteral("屏幕 1")}, ScreenRole{QStringLiteral("屏幕 2")}};
    Show show = engine.show();
    show.outputScreens = roles;
    engine.setShow(show);
    QList<WindowFigures> figures(roles.size());
    for (int i = 0; i < roles.size(); ++i) {
        engine.setMapping(mapping, roles[i]);
        engine.bind(roles[i], engine.displays().at(i).number);
        engine.program(roles[i])->load(QUrl::fromLocalFile(clip));
    }
    QEventLoop wait;
    QTimer::singleShot(3000, &wait, &QEventLoop::quit);
    wait.exec();

    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = dynamic_cast<ScreenOutputWindow*>(widget);
        auto* curved = window ? qobject_cast<CurvedProjectionView*>(window->output()->content()) : nullptr;
        if (!curved) {
            std::fprintf(stderr, "output windows: a window does not draw through the mesh\n");
            return 1;
        }
        const int index = int(roles.indexOf(window->output()->role()));
        WindowFigures& figure = figures[index];
        MeshVideoFeed* feed = engine.program(roles[index])->meshVideoFeed();
        QObject::connect(curved->meshWindow(), &QOpenGLWindow::frameSwapped, curved, [&figure, feed] {
            const qint64 now = figure.clock.nsecsElapsed();
            if (figure.lastDraw >= 0)
                figure.longestGap = std::max(figure.longestGap, now - figure.lastDraw);
            figure.lastDraw = now;
            ++figure.draws;
            if (const std::optional<VideoFrame> frame = feed->latest()) {
                figure.drawnFrames.insert(std::llround(frame->time() * 1000));
                if (figure.firstTime < 0)
                    figure.firstTime = frame->time();
                figure.lastTime = frame->time();
            }
        });
    }
    const HostTime start = HostClock::now() + std::chrono::milliseconds(200);
    for (WindowFigures& figure : figures)
        figure.clock.start();
    for (const ScreenRole& role : roles)
        engine.program(role)->player()->playAt(0, start);
    QTimer::singleShot(int(seconds * 1000) + 200, &wait, &QEventLoop::quit);
    wait.exec();

    std::printf("output windows: %d windows of 1920x1080, 17x17 curved mesh, blends, mask, %.0f s of 1080p30 H.264\n",
                int(roles.size()), seconds);
    for (int i = 0; i < figures.size(); ++i) {
        const WindowFigures& figure = figures[i];
        const double span = figure.lastTime - figure.firstTime;
        const int expected = span > 0 ? int(std::lround(span * 30)) + 1 : 0;
        std::printf("  window %d: %6.1f frames drawn/s, longest gap %6.1f ms, video frames never drawn %d of %d\n",
                    i + 1, figure.draws / (figure.clock.nsecsElapsed() / 1e9), figure.longestGap / 1e6,
                    std::max(0, expected - int(figure.drawnFrames.size())), expected);
    }
    std::printf("  goal: every video frame drawn, no gap over 33.3 ms\n");
    return 0;
}

} // namespace outputwindows

#pragma once

// The output windows part of output_bench: two bound 1920 × 1080 output windows on two displays, each playing a
// 1080p30 H.264 clip through a curved mapping with blends. Per window, from the first frame shown after playing
// starts: frames drawn per second, the gaps between two newly shown video frames (median, p99, longest), and the
// frames of the video that were never shown.
#include "benchtools.h"
#include "displayprovider.h"
#include "engine.h"
#include "mediafixtures.h"
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
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace outputwindows {

// Filled where the window swaps its frames, read once it stopped playing.
struct WindowFigures
{
    std::mutex lock;
    QElapsedTimer clock;
    bool counting = false;
    qint64 firstShown = -1;
    qint64 lastNewFrame = -1;
    std::vector<double> gaps; // ms between swaps that show a new video frame
    int draws = 0;
    QSet<qint64> drawnFrames; // media times of the video frames on show at each draw, in ms
    double firstTime = -1;
    double lastTime = -1;

    // Counting starts with the first frame shown from here on.
    void start()
    {
        std::scoped_lock hold(lock);
        clock.start();
        counting = true;
    }

    // A frame swapped, with the media time of the video frame it shows (negative when none).
    void swapped(double videoTime)
    {
        std::scoped_lock hold(lock);
        if (!counting || videoTime < 0)
            return;
        const qint64 now = clock.nsecsElapsed();
        if (firstShown < 0)
            firstShown = now;
        ++draws;
        const qint64 time = std::llround(videoTime * 1000);
        if (drawnFrames.contains(time))
            return;
        if (lastNewFrame >= 0)
            gaps.push_back((now - lastNewFrame) / 1e6);
        lastNewFrame = now;
        drawnFrames.insert(time);
        if (firstTime < 0)
            firstTime = videoTime;
        lastTime = videoTime;
    }
};

// An engine that binds screens to output windows on the real displays, as the program's does.
// The mapping a show with a curved screen uses: a 17x17 mesh bent both ways, soft edges, gamma, black level and a
// twelve-sided mask.
inline ProjectorMapping showMapping()
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.meshRows = 17;
    mapping.meshColumns = 17;
    QList<QPointF> nodes = mapping.meshPoints();
    for (QPointF& node : nodes)
        node += QPointF(0.03 * std::sin(node.y() * 3.1), 0.02 * std::sin(node.x() * 6.2));
    mapping.mesh = nodes;
    mapping.edges = {0.12, 0.12, 0.08, 0.08};
    mapping.gamma = 2.2;
    mapping.blackLevel = 0.03;
    QList<QPointF> polygon;
    for (int i = 0; i < 12; ++i)
        polygon.append({0.5 + 0.48 * std::cos(i * M_PI / 6), 0.5 + 0.48 * std::sin(i * M_PI / 6)});
    mapping.polygonMask = polygon;
    return mapping;
}

inline std::unique_ptr<Engine> makeEngine(const QTemporaryDir& folder, Engine::Services services = {})
{
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    return BenchTools::makeEngine(folder, true, std::move(services));
}

inline ScreenOutputWindow* outputWindowOf(const ScreenRole& role)
{
    for (QWindow* candidate : QGuiApplication::topLevelWindows()) {
        auto* window = qobject_cast<ScreenOutputWindow*>(candidate);
        if (window && window->isOpen() && window->role() == role)
            return window;
    }
    return nullptr;
}

// Notes each frame an output window presents, on the window's render thread as it swaps, with the media time of the
// video frame on show. False when the screen has no output window.
inline bool watchPresentedFrames([[maybe_unused]] Engine& engine, const ScreenRole& role, WindowFigures& figure,
                                 QList<QMetaObject::Connection>* connections = nullptr)
{
    ScreenOutputWindow* window = outputWindowOf(role);
    if (!window)
        return false;
    const QMetaObject::Connection connection = QObject::connect(
        window, &ScreenOutputWindow::frameSwapped, window, [&figure](double videoTime) { figure.swapped(videoTime); },
        Qt::DirectConnection);
    if (connections)
        connections->append(connection);
    return true;
}

inline void printWindowFigures(int index, WindowFigures& figure)
{
    std::scoped_lock hold(figure.lock);
    const double span = figure.lastTime - figure.firstTime;
    const int expected = span > 0 ? int(std::lround(span * 30)) + 1 : 0;
    const double shownSeconds = (figure.clock.nsecsElapsed() - std::max<qint64>(figure.firstShown, 0)) / 1e9;
    std::vector<double> gaps = figure.gaps;
    std::sort(gaps.begin(), gaps.end());
    const auto at = [&](double fraction) { return gaps.empty() ? 0 : gaps[size_t(fraction * (gaps.size() - 1))]; };
    std::printf("  window %d: %5.1f frames drawn/s; gaps between new frames median %5.1f, p99 %5.1f, longest %5.1f "
                "ms; video frames never shown %d of %d\n",
                index + 1, figure.draws / std::max(shownSeconds, 1e-3), at(0.5), at(0.99),
                gaps.empty() ? 0 : gaps.back(), std::max(0, expected - int(figure.drawnFrames.size())), expected);
}

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
    const QList<ScreenRole> roles{ScreenRole{QStringLiteral("屏幕 1")}, ScreenRole{QStringLiteral("屏幕 2")}};
    // Outlive the engine: the windows' render threads report into them until the windows are gone.
    std::vector<WindowFigures> figures(roles.size());
    QTemporaryDir folder;
    std::unique_ptr<Engine> owner = makeEngine(folder);
    Engine& engine = *owner;
    Show show = engine.show();
    show.outputScreens = roles;
    engine.setShow(show);
    for (int i = 0; i < roles.size(); ++i) {
        engine.setMapping(mapping, roles[i]);
        engine.bind(roles[i], engine.displays().at(i).number);
        engine.program(roles[i])->load(QUrl::fromLocalFile(clip));
    }
    QEventLoop wait;
    QTimer::singleShot(3000, &wait, &QEventLoop::quit);
    wait.exec();

    for (int i = 0; i < roles.size(); ++i) {
        if (!watchPresentedFrames(engine, roles[i], figures[size_t(i)])) {
            std::fprintf(stderr, "output windows: a screen has no output window\n");
            return 1;
        }
    }
    const HostTime start = HostClock::now() + std::chrono::milliseconds(200);
    for (const ScreenRole& role : roles)
        engine.program(role)->player()->playAt(0, start);
    // The prerolled frame is on show already: only frames shown from the start on count.
    QTimer::singleShot(200, &wait, [&figures] {
        for (WindowFigures& figure : figures)
            figure.start();
    });
    QTimer::singleShot(int(seconds * 1000) + 200, &wait, &QEventLoop::quit);
    wait.exec();

    std::printf("output windows: %d windows of 1920x1080, 17x17 curved mesh, blends, mask, %.0f s of 1080p30 H.264\n",
                int(roles.size()), seconds);
    for (size_t i = 0; i < figures.size(); ++i)
        printWindowFigures(int(i), figures[i]);
    std::printf("  goal: every video frame shown, gap p99 <= 36 ms, longest <= 50 ms\n");
    return 0;
}

} // namespace outputwindows

// What the console's monitors cost the show: a show of four screens, two of them bound to output windows on two
// displays playing 1080p30 H.264 through mesh mappings, with the console open. Each run measures, for the given
// seconds (30 by default), the main thread's longest stall, the output windows' longest gap between drawn frames and
// the process's CPU; once with the console's monitors hidden, once with the screen cards and the projection monitor
// showing. Needs an X server with two displays, a third one for the console when there is one:
//   xvfb-run -a -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24 -screen 2 1600x1000x24" build/bench/monitors_bench
#include "consoleview.h"
#include "lumosettings.h"
#include "lumostyle.h"
#include "outputwindows.h"
#include "projectionmonitor.h"

#include <QScreen>
#include <QVBoxLayout>
#include <atomic>
#include <ctime>
#include <memory>

namespace {

double processSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// One output window's longest gap between two drawn frames, noted on its render thread.
struct GapWatch
{
    QElapsedTimer clock;
    std::atomic<qint64> lastDraw = -1;
    std::atomic<qint64> longestGap = 0;
};

struct RunFigures
{
    double longestStallMs = 0;
    QList<double> longestGapMs;
    double cpuPercent = 0;
};

// Lets the event loop run for the given time while a 1 ms timer notes the longest wait between its ticks beyond
// the millisecond it asked for, and each output window notes its longest gap between two drawn frames.
RunFigures measure(const QList<ScreenRole>& roles, double seconds)
{
    RunFigures figures;
    // Shared with the render threads, which may still be in a call when the watches are dropped.
    std::vector<std::shared_ptr<GapWatch>> windows;
    for (int i = 0; i < roles.size(); ++i)
        windows.push_back(std::make_shared<GapWatch>());
    QList<QMetaObject::Connection> watches;
    for (QWindow* candidate : QGuiApplication::topLevelWindows()) {
        auto* window = qobject_cast<ScreenOutputWindow*>(candidate);
        if (!window)
            continue;
        const std::shared_ptr<GapWatch> figure = windows[size_t(roles.indexOf(window->role()))];
        figure->clock.start();
        watches << QObject::connect(
            window, &ScreenOutputWindow::frameSwapped, window,
            [figure] {
                const qint64 now = figure->clock.nsecsElapsed();
                if (figure->lastDraw >= 0)
                    figure->longestGap = std::max<qint64>(figure->longestGap, now - figure->lastDraw);
                figure->lastDraw = now;
            },
            Qt::DirectConnection);
    }
    QElapsedTimer wall;
    qint64 lastTick = -1;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = wall.nsecsElapsed();
        if (lastTick >= 0)
            figures.longestStallMs = std::max(figures.longestStallMs, (now - lastTick) / 1e6 - 1);
        lastTick = now;
    });
    const double cpuBefore = processSeconds();
    wall.start();
    ticks.start();
    QEventLoop wait;
    QTimer::singleShot(int(seconds * 1000), &wait, &QEventLoop::quit);
    wait.exec();
    figures.cpuPercent = (processSeconds() - cpuBefore) / (wall.nsecsElapsed() / 1e9) * 100;
    for (const QMetaObject::Connection& watch : std::as_const(watches))
        QObject::disconnect(watch);
    for (int i = 0; i < 2; ++i)
        figures.longestGapMs << windows[size_t(i)]->longestGap / 1e6;
    return figures;
}

void print(const char* name, const RunFigures& figures)
{
    std::printf("  %-34s main thread longest stall %6.1f ms, output gaps %6.1f / %6.1f ms, CPU %6.1f %%\n", name,
                figures.longestStallMs, figures.longestGapMs[0], figures.longestGapMs[1], figures.cpuPercent);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    applyLumoStyle(app);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 30;
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2) {
        std::printf("monitors: skipped, needs two displays "
                    "(xvfb-run -a -s \"-screen 0 1920x1080x24 -screen 1 1920x1080x24 -screen 2 1600x1000x24\")\n");
        return 0;
    }
    std::printf("monitors: making a %.0f s 1080p30 H.264 clip (cached)...\n", 2 * seconds + 10);
    std::fflush(stdout);
    const QString clip = MediaFixtures::video({{1920, 1080}, 2 * seconds + 10, 30, VideoCodec::h264});

    QTemporaryDir folder;
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    Engine engine(true, nullptr, folder.path(), services);
    QList<ScreenRole> roles;
    for (int i = 1; i <= 4; ++i)
        roles << ScreenRole{QStringLiteral("屏幕 %1").arg(i)};
    Show show = engine.show();
    show.outputScreens = roles;
    engine.setShow(show);
    // A flat mesh with blended sides still goes through the mesh renderer, as a curved mapping does.
    ProjectorMapping mesh;
    mesh.enabled = true;
    mesh.meshRows = 9;
    mesh.meshColumns = 9;
    mesh.mesh = mesh.meshPoints();
    mesh.edges = {0.1, 0.1, 0, 0};
    for (int i = 0; i < 2; ++i) {
        engine.setMapping(mesh, roles[i]);
        engine.bind(roles[i], engine.displays().at(i).number);
        engine.program(roles[i])->load(QUrl::fromLocalFile(clip));
    }

    LumoSettings settings(folder.filePath("settings.ini"));
    QWidget consoleWindow;
    QPointer<QWidget> projectionMonitor;
    ConsoleView console(engine, settings, [&](const QString& id) {
        if (id != QStringLiteral("projection-monitor") || projectionMonitor)
            return;
        projectionMonitor = new ProjectionMonitor(engine);
        projectionMonitor->setAttribute(Qt::WA_DeleteOnClose);
        projectionMonitor->resize(860, 600);
        projectionMonitor->show();
    });
    auto* layout = new QVBoxLayout(&consoleWindow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&console);
    consoleWindow.setWindowTitle(QStringLiteral("Lumoria"));
    consoleWindow.resize(1320, 850);
    if (screens.size() > 2)
        consoleWindow.move(screens[2]->geometry().topLeft());
    consoleWindow.show();
    console.screensColumn()->hide();

    QEventLoop settle;
    QTimer::singleShot(3000, &settle, &QEventLoop::quit);
    settle.exec();
    const HostTime start = HostClock::now() + std::chrono::milliseconds(200);
    for (int i = 0; i < 2; ++i)
        engine.program(roles[i])->player()->playAt(0, start);
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();

    const RunFigures hidden = measure(roles, seconds);
    console.screensColumn()->show();
    console.openWindow(QStringLiteral("projection-monitor"));
    // Opening the window and making its views is not part of what the monitors cost while they run.
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    const RunFigures shown = measure(roles, seconds);
    delete projectionMonitor.data();
    consoleWindow.close();

    std::printf("monitors: 4 screens, 2 output windows of 1920x1080 playing 1080p30 H.264 through mesh mappings, "
                "%.0f s each\n",
                seconds);
    print("console monitors hidden:", hidden);
    print("screen cards + projection monitor:", shown);
    const double addedGap = std::max(shown.longestGapMs[0], shown.longestGapMs[1]);
    std::printf("  longest output gap with monitors %.1f ms (goal <= 33.4 ms); CPU %+.1f %% (goal < +10 %%)\n",
                addedGap, (shown.cpuPercent / hidden.cpuPercent - 1) * 100);
    return 0;
}

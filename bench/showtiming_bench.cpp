// Whether the show keeps its time while the output windows draw, in one process as the program runs. A timeline cue
// plays a 1080p30 clip on 屏幕 1 and 屏幕 2, sends a UDP message every 20 ms and drives an Art-Net target, all on
// loopback; with no output window, then two bound 1920 x 1080 windows with the mapping off, then with a 17 x 17
// curved mesh, blends and a mask. Then, with the console open on a third display: GO to the first changed pixel and
// both screens' frame numbers, read back through X by another process (this program with --watch); Ctrl+Return typed
// through X until it reaches the console and the cue starts; a console action to the event loop's next idle.
//   xvfb-run -a -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24 -screen 2 1600x1000x24" \
//       build/bench/showtiming_bench [seconds, 20] [timeline|console]
#include "benchtools.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "outputwindows.h"
#include "timelinelateness.h"
#include "xdisplay.h"

#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <chrono>
#include <iostream>
#include <string>
#include <thread>

namespace {

using namespace BenchTools;

const QList<ScreenRole> kRoles{kScreen1, kScreen2};
// Messages and frames are counted from here on, when both clips are playing.
constexpr double kSettledSeconds = 1;

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ProjectorMapping curvedMapping()
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

void printLoad()
{
    std::printf("  load average %s\n", loadAverage().constData());
}

// --- The timeline runs -------------------------------------------------------------------------------------------

struct TimelineRun
{
    const char* name;
    int windows; // 0 or 2
    std::optional<ProjectorMapping> mapping;
};

struct TimelineFigures
{
    std::vector<double> lateness;
    double busyPercent = 0;
    double takeMs = 0;
    std::vector<double> artNetIntervals;
    std::vector<outputwindows::WindowFigures> windows;
    QList<bool> countable;
};

std::vector<double> intervalsMs(const std::vector<ReceivedDatagram>& datagrams, double from, double to)
{
    std::vector<double> arrivals;
    for (const ReceivedDatagram& datagram : datagrams)
        if (datagram.arrival >= from && datagram.arrival <= to)
            arrivals.push_back(datagram.arrival);
    std::sort(arrivals.begin(), arrivals.end());
    std::vector<double> intervals;
    for (size_t i = 1; i < arrivals.size(); ++i)
        intervals.push_back((arrivals[i] - arrivals[i - 1]) * 1000);
    return intervals;
}

void playTimeline(const TimelineRun& run, const QString& clip, double seconds, TimelineFigures& figures)
{
    figures.windows = std::vector<outputwindows::WindowFigures>(size_t(run.windows));
    QTemporaryDir folder;
    TimelineLateness::ArrivalThread messages;
    TimelineLateness::ArrivalThread artNet;
    Engine::Services services;
    services.artNetPort = artNet.port();
    std::unique_ptr<Engine> engine = outputwindows::makeEngine(folder, services);

    MediaAsset video;
    video.url = QUrl::fromLocalFile(clip);
    video.kind = AssetKind::video;
    video.duration = seconds + 5;
    QList<TimelineEvent> timeline = TimelineLateness::messages(messages.port(), seconds);
    for (const Track track : {Track::main, Track::side}) {
        TimelineEvent event;
        event.track = track;
        event.assetID = video.id;
        timeline.prepend(event);
    }
    Cue cue;
    cue.name = QStringLiteral("计时");
    cue.lighting = Lighting{1, 255, seconds};
    cue.timeline = timeline;
    Show show = engine->show();
    show.outputScreens = kRoles;
    show.artNetHost = QStringLiteral("127.0.0.1");
    show.assets = QList<MediaAsset>{video};
    show.cues = {cue};
    engine->setShow(show);
    for (int i = 0; i < run.windows; ++i) {
        engine->setMapping(run.mapping.value_or(ProjectorMapping{}), kRoles[i]);
        engine->bind(kRoles[i], engine->displays().at(i).number);
    }
    runEvents(1500);

    const double origin = realtimeNow();
    engine->take(engine->show().cues.first());
    figures.takeMs = (realtimeNow() - origin) * 1000;
    runEvents(int(kSettledSeconds * 1000));
    for (int i = 0; i < run.windows; ++i) {
        figures.countable << outputwindows::watchPresentedFrames(*engine, kRoles[i], figures.windows[size_t(i)]);
        figures.windows[size_t(i)].start();
    }
    const double cpuStart = threadCpuSeconds();
    const double wallStart = realtimeNow();
    runEventsUntil([&] { return realtimeNow() >= origin + seconds + 0.3; }, int(seconds * 1000) + 2000);
    figures.busyPercent = (threadCpuSeconds() - cpuStart) / (realtimeNow() - wallStart) * 100;
    engine->stop(true);
    runEvents(200);
    figures.lateness = TimelineLateness::lateness(messages.stop(), timeline, origin, kSettledSeconds);
    figures.artNetIntervals = intervalsMs(artNet.stop(), origin + kSettledSeconds, origin + seconds);
}

void printTimelineRun(const TimelineRun& run, TimelineFigures& figures, const std::vector<double>& alone)
{
    std::printf("%s:\n", run.name);
    std::printf("  message lateness   min %5.1f ms   median %6.1f ms   p99 %6.1f ms   max %6.1f ms   (n=%zu)",
                percentile(figures.lateness, 0), percentile(figures.lateness, 0.5), percentile(figures.lateness, 0.99),
                percentile(figures.lateness, 1.0), figures.lateness.size());
    if (run.windows > 0)
        std::printf("   p99 %+.1f ms over no window (goal: within 5 ms)",
                    percentile(figures.lateness, 0.99) - percentile(alone, 0.99));
    std::printf("\n  (lateness counts from the call of take(), which itself took %.1f ms)", figures.takeMs);
    // A wait for a buffer swap holds the thread without costing CPU: the lateness shows it.
    std::printf("\n  main thread busy   %5.1f %% of its time on the CPU (goal: under 10 %%)\n", figures.busyPercent);
    std::printf("  Art-Net interval   median %6.1f ms   p99 %6.1f ms   max %6.1f ms   (goal: p99 <= 45 ms)\n",
                percentile(figures.artNetIntervals, 0.5), percentile(figures.artNetIntervals, 0.99),
                percentile(figures.artNetIntervals, 1.0));
    for (int i = 0; i < run.windows; ++i) {
        if (figures.countable.value(i))
            outputwindows::printWindowFigures(i, figures.windows[size_t(i)]);
        else
            std::printf("  window %d: presented frames not measurable (this kind of output gives no count of them)\n",
                        i + 1);
    }
    if (run.windows > 0)
        std::printf("  goal: every video frame shown, gap between new frames p99 <= 36 ms, longest <= 50 ms\n");
    printLoad();
    std::fflush(stdout);
}

void timelineRuns(double seconds)
{
    const bool twoDisplays = QGuiApplication::screens().size() >= 2;
    std::printf("making a %.0f s 1080p30 H.264 clip (cached)...\n", seconds + 5);
    std::fflush(stdout);
    const QString clip = MediaFixtures::video({{1920, 1080}, seconds + 5, 30, VideoCodec::h264});
    std::printf("Timeline: a 1080p30 clip on 屏幕 1 and 屏幕 2, a UDP message every 20 ms, Art-Net on loopback; %.0f s "
                "each, counted from %.0f s in\n",
                seconds, kSettledSeconds);
    const TimelineRun runs[] = {
        {"no output window", 0, std::nullopt},
        {"two 1920x1080 output windows, mapping off", 2, std::nullopt},
        {"two 1920x1080 output windows, 17x17 curved mesh, blends, mask", 2, curvedMapping()},
    };
    std::vector<double> alone;
    for (const TimelineRun& run : runs) {
        if (run.windows > 0 && !twoDisplays) {
            std::printf("%s: skipped, needs two displays\n", run.name);
            continue;
        }
        TimelineFigures figures;
        playTimeline(run, clip, seconds, figures);
        if (run.windows == 0)
            alone = figures.lateness;
        printTimelineRun(run, figures, alone);
    }
}

// --- With the console open ---------------------------------------------------------------------------------------

// The X read-back in another process: this program started with --watch.
class Watcher
{
  public:
    Watcher()
    {
        m_process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--watch")});
        m_process.waitForStarted();
    }
    ~Watcher()
    {
        m_process.closeWriteChannel();
        m_process.waitForFinished(3000);
    }

    // Sends a command (none when empty) and waits in the event loop for the lines of its answer up to the one
    // starting with `last`.
    QList<QByteArray> ask(const QByteArray& command, const QByteArray& last, int timeoutMs = 10000)
    {
        if (!command.isEmpty())
            m_process.write(command + '\n');
        QList<QByteArray> lines;
        runEventsUntil(
            [&] {
                while (m_process.canReadLine())
                    lines << m_process.readLine().trimmed();
                return !lines.isEmpty() && lines.last().startsWith(last);
            },
            timeoutMs);
        return lines;
    }

  private:
    QProcess m_process;
};

QByteArray windowId(const ScreenRole& role)
{
    ScreenOutputWindow* window = outputwindows::outputWindowOf(role);
    return window ? QByteArray::number(qulonglong(window->winId())) : QByteArray("0");
}

struct ConsoleShow
{
    QList<QUuid> playing; // both screens play the 1080p clip
    QUuid stillA, stillB, video;
    QUuid indexed;
};

ConsoleShow loadConsoleShow(Engine& engine, double seconds)
{
    std::printf("console runs: making a numbered 1080p30 clip (cached)...\n");
    std::fflush(stdout);
    const QUrl clip = QUrl::fromLocalFile(MediaFixtures::video({{1920, 1080}, seconds, 30, VideoCodec::h264}));
    const QUrl indexed = QUrl::fromLocalFile(MediaFixtures::indexedVideo(256, 30, {1920, 1080}));
    const QUrl red = QUrl::fromLocalFile(MediaFixtures::png({1920, 1080}, QColor(200, 40, 40)));
    const QUrl blue = QUrl::fromLocalFile(MediaFixtures::png({1920, 1080}, QColor(40, 60, 200)));
    const auto cue = [](const QString& name, const QUrl& main, std::optional<QUrl> side) {
        Cue made;
        made.name = name;
        made.main = main;
        made.side = side;
        return made;
    };
    Show show = engine.show();
    show.outputScreens = kRoles;
    show.cues.clear();
    ConsoleShow ids;
    for (int i = 0; i < 4; ++i) {
        show.cues << cue(QStringLiteral("双屏视频 %1").arg(i + 1), clip, clip);
        ids.playing << show.cues.last().id;
    }
    show.cues << cue(QStringLiteral("静帧 红"), red, std::nullopt);
    ids.stillA = show.cues.last().id;
    show.cues << cue(QStringLiteral("静帧 蓝"), blue, std::nullopt);
    ids.stillB = show.cues.last().id;
    show.cues << cue(QStringLiteral("视频"), clip, std::nullopt);
    ids.video = show.cues.last().id;
    show.cues << cue(QStringLiteral("帧号"), indexed, indexed);
    ids.indexed = show.cues.last().id;
    engine.setShow(show);
    return ids;
}

const Cue& cueById(const Engine& engine, const QUuid& id)
{
    for (const Cue& cue : engine.show().cues)
        if (cue.id == id)
            return cue;
    return engine.show().cues.first();
}

// Notes when Ctrl+Return first reaches the application on its main thread.
class KeyArrival : public QObject
{
  public:
    std::optional<qint64> at;

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!at && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return && (key->modifiers() & Qt::ControlModifier))
                at = steadyNs();
        }
        return false;
    }
};

void printMs(const char* what, const std::vector<double>& values, const char* goal)
{
    std::printf("  %-52s median %7.2f ms   p99 %7.2f ms   max %7.2f ms   (n=%zu; goal: %s)\n", what,
                percentile(values, 0.5), percentile(values, 0.99), percentile(values, 1.0), values.size(), goal);
}

// Ctrl+Return typed through the X server at a random moment while both windows play, until the key reaches the
// console's main thread and until the next cue has started.
void keyToGo(LumoriaApp& lumoria, const ConsoleShow& ids, int rounds)
{
    Engine& engine = lumoria.engine();
    XDisplay::Connection x = XDisplay::connect();
    QWidget& console = lumoria.consoleWindow();
    xcb_set_input_focus(x.get(), XCB_INPUT_FOCUS_POINTER_ROOT, xcb_window_t(console.winId()), XCB_CURRENT_TIME);
    xcb_flush(x.get());
    console.activateWindow();
    KeyArrival arrival;
    qApp->installEventFilter(&arrival);
    std::optional<qint64> started;
    const auto watch = QObject::connect(&engine, &Engine::currentChanged, [&] {
        if (!started && engine.current())
            started = steadyNs();
    });
    std::vector<double> toKey;
    std::vector<double> toStart;
    int missed = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool playingOn = engine.current() && ids.playing.indexOf(engine.current()->id) >= 0 &&
                               engine.current()->id != ids.playing.last();
        if (!playingOn) {
            engine.take(cueById(engine, ids.playing.first()));
            runEvents(1500);
        }
        arrival.at.reset();
        started.reset();
        std::atomic<qint64> sent = 0;
        std::thread typist([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(QRandomGenerator::global()->bounded(40000)));
            sent = steadyNs();
            XDisplay::typeControlReturn(x.get());
        });
        runEventsUntil([&] { return started.has_value(); }, 3000);
        typist.join();
        if (arrival.at && started) {
            toKey.push_back((*arrival.at - sent) / 1e6);
            toStart.push_back((*started - sent) / 1e6);
        } else {
            ++missed;
        }
        runEvents(700);
    }
    QObject::disconnect(watch);
    qApp->removeEventFilter(&arrival);
    std::printf("Ctrl+Return typed through X while two 1080p30 clips play (mapping off), console open:\n");
    if (toKey.empty()) {
        std::printf("  not measured: the key never reached the console (%d tries)\n", missed);
        return;
    }
    printMs("key sent to its arrival at the console (go() runs)", toKey, "within 5 ms");
    printMs("key sent to the next cue started", toStart, "-");
    if (missed)
        std::printf("  %d of %d keys did not start a cue\n", missed, rounds);
}

// A console action and the event loop's work it causes, to its next idle, while both windows play.
void actionsToIdle(LumoriaApp& lumoria, const ConsoleShow& ids, int rounds)
{
    constexpr int kCapMs = 1000;
    Engine& engine = lumoria.engine();
    std::vector<IdleTiming> select;
    std::vector<IdleTiming> go;
    for (int round = 0; round < rounds; ++round) {
        engine.take(cueById(engine, ids.playing.first()));
        runEvents(1000);
        select.push_back(toIdle([&] { engine.setSelected(ids.playing[1 + round % 2]); }, kCapMs));
        runEvents(300);
        go.push_back(toIdle([&] { engine.go(); }, kCapMs));
        runEvents(500);
    }
    std::printf("Console actions while two 1080p30 clips play (mapping off), to the event loop's next idle:\n");
    const auto print = [&](const char* what, const std::vector<IdleTiming>& timings) {
        std::vector<double> wall;
        std::vector<double> cpu;
        int capped = 0;
        for (const IdleTiming& timing : timings) {
            if (timing.capped)
                ++capped;
            else
                wall.push_back(timing.wallMs);
            cpu.push_back(timing.cpuMs);
        }
        if (!wall.empty())
            printMs(what, wall, "under 16 ms");
        if (capped)
            std::printf("  %-52s %d of %zu never idle within %d ms (main thread CPU median %.1f ms)\n", what, capped,
                        timings.size(), kCapMs, percentile(cpu, 0.5));
    };
    print("select another cue", select);
    print("GO", go);
}

// GO from a still to a still, and from a still to a prepared video, until the watcher sees screen 1's centre change.
void goToPixel(LumoriaApp& lumoria, const ConsoleShow& ids, Watcher& watcher, int rounds)
{
    Engine& engine = lumoria.engine();
    std::vector<double> toStill;
    std::vector<double> toVideo;
    int prepared = 0;
    int unseen = 0;
    const auto measure = [&](std::vector<double>& into, bool video) {
        const QList<QByteArray> armed = watcher.ask("change " + windowId(kScreen1), "armed");
        if (armed.isEmpty() || !armed.last().startsWith("armed")) {
            return false;
        }
        const qint64 before = steadyNs();
        engine.go();
        if (const Picture* shown = engine.program(kScreen1)->foreground(); video && shown && shown->player())
            prepared += shown->player()->isReady() ? 1 : 0;
        const QList<QByteArray> answer = watcher.ask({}, "changed");
        const qint64 at = answer.isEmpty() ? -1 : answer.last().split(' ').value(1).toLongLong();
        if (at > 0)
            into.push_back((at - before) / 1e6);
        else
            ++unseen;
        return true;
    };
    for (int round = 0; round < rounds; ++round) {
        engine.take(cueById(engine, ids.stillA));
        runEvents(800);
        if (!measure(toStill, false))
            break;
        // The video cue, next, loads and prerolls while the still is on air.
        runEvents(800);
        measure(toVideo, true);
        runEvents(500);
    }
    std::printf(
        "GO to the first changed pixel at the centre of 屏幕 1's output window (mapping off), read back by X in "
        "another process, console open; video prepared in %d of %d rounds:\n",
        prepared, rounds);
    printMs("GO to a still", toStill, "median <= 33 ms");
    printMs("GO to a prepared 1080p video", toVideo, "median <= 33 ms");
    if (unseen)
        std::printf("  %d GOs changed no pixel within 5 s\n", unseen);
}

// Both screens' frame numbers read by two GetImage requests sent together, while one GO plays the numbered clip on
// both.
void sameFrame(LumoriaApp& lumoria, const ConsoleShow& ids, Watcher& watcher, int samples)
{
    Engine& engine = lumoria.engine();
    int same = 0;
    int counted = 0;
    int farthest = 0;
    for (int round = 0; round < 2; ++round) {
        // The numbered cue comes next: it loads and prerolls on both screens while the one before is on air.
        engine.take(cueById(engine, ids.video));
        runEvents(1500);
        engine.go();
        runEvents(500);
        const QList<QByteArray> lines = watcher.ask("frames " + windowId(kScreen1) + ' ' + windowId(kScreen2) + ' ' +
                                                        QByteArray::number(samples / 2) + " 97",
                                                    "done", 30000);
        for (const QByteArray& line : lines) {
            const QList<QByteArray> words = line.split(' ');
            if (words.size() != 3 || words[0] != "frames")
                continue;
            const int apart = std::abs(words[1].toInt() - words[2].toInt());
            ++counted;
            same += apart == 0 ? 1 : 0;
            farthest = std::max(farthest, apart);
        }
    }
    std::printf("Two screens started by one GO (a numbered 1080p30 clip, mapping off), both read in one go:\n");
    if (counted == 0) {
        std::printf("  not measured: no frame numbers read\n");
        return;
    }
    std::printf("  same frame in %.0f %% of %d samples, at most %d frames apart (goal: >= 90 %%, never more than 1)\n",
                100.0 * same / counted, counted, farthest);
}

void consoleRuns(int rounds, double seconds)
{
    // The console cannot share a display with an output window.
    if (QGuiApplication::screens().size() < 3) {
        std::printf("console runs: skipped, needs a third display for the console "
                    "(-screen 2 1600x1000x24)\n");
        return;
    }
    QTemporaryDir home;
    LumoriaApp::Options options;
    options.recoveryDirectory = home.filePath(QStringLiteral("recovery"));
    options.settingsFile = home.filePath(QStringLiteral("settings.ini"));
    LumoriaApp lumoria(options);
    Engine& engine = lumoria.engine();
    const ConsoleShow ids = loadConsoleShow(engine, seconds);
    lumoria.consoleWindow().setScreen(QGuiApplication::screens()[2]);
    lumoria.consoleWindow().move(QGuiApplication::screens()[2]->geometry().topLeft());
    lumoria.show();
    for (int i = 0; i < 2; ++i)
        engine.bind(kRoles[i], engine.displays().at(i).number);
    runEvents(2000);

    Watcher watcher;
    goToPixel(lumoria, ids, watcher, rounds);
    printLoad();
    sameFrame(lumoria, ids, watcher, 120);
    printLoad();
    keyToGo(lumoria, ids, rounds);
    printLoad();
    actionsToIdle(lumoria, ids, rounds);
    printLoad();
    engine.stop(true);
}

// --- The watcher process -----------------------------------------------------------------------------------------

// The frame number an indexed clip shows, read on one row of its picture (see MediaFixtures::frameIndexOf).
int frameNumberOf(const std::vector<std::uint32_t>& row)
{
    int index = 0;
    for (int bit = 0; bit < 8 && !row.empty(); ++bit) {
        const std::uint32_t pixel = row[row.size() * size_t(bit * 40 + 20) / 320];
        const int grey = (int((pixel >> 16) & 255) + int((pixel >> 8) & 255) + int(pixel & 255)) / 3;
        if (grey > 128)
            index |= 1 << bit;
    }
    return index;
}

// Reads commands on stdin and answers on stdout:
//   change <window>   "armed", then "changed <steady ns>" at the first read that differs from the first (-1: none in 5
//   s) frames <window> <window> <count> <ms>   "frames <a> <b>" every <ms>, then "done"
int watch()
{
    XDisplay::Connection x = XDisplay::connect();
    if (!x) {
        std::printf("no X display\n");
        return 1;
    }
    std::string command;
    while (std::cin >> command) {
        if (command == "change") {
            unsigned long window = 0;
            std::cin >> window;
            std::optional<XDisplay::Area> area = XDisplay::areaOf(x.get(), xcb_window_t(window));
            if (!area) {
                std::printf("armed\nchanged -1\n");
                std::fflush(stdout);
                continue;
            }
            const int side = 256;
            area = XDisplay::Area{area->root, area->x + (area->width - side) / 2, area->y + (area->height - side) / 2,
                                  side, side};
            const std::vector<std::uint32_t> reference = XDisplay::grab(x.get(), {*area}).front();
            std::printf("armed\n");
            std::fflush(stdout);
            const qint64 deadline = steadyNs() + 5'000'000'000;
            qint64 changedAt = -1;
            while (changedAt < 0 && steadyNs() < deadline) {
                const qint64 asked = steadyNs();
                const std::vector<std::uint32_t> now = XDisplay::grab(x.get(), {*area}).front();
                size_t differing = 0;
                for (size_t i = 0; i < std::min(now.size(), reference.size()); ++i)
                    for (const int shift : {0, 8, 16})
                        if (std::abs(int((now[i] >> shift) & 255) - int((reference[i] >> shift) & 255)) > 32) {
                            ++differing;
                            break;
                        }
                if (differing * 200 >= reference.size() && !reference.empty())
                    changedAt = asked;
                else
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            std::printf("changed %lld\n", qlonglong(changedAt));
            std::fflush(stdout);
        } else if (command == "frames") {
            unsigned long first = 0, second = 0;
            int count = 0, interval = 0;
            std::cin >> first >> second >> count >> interval;
            std::vector<XDisplay::Area> rows;
            for (const unsigned long window : {first, second})
                if (const std::optional<XDisplay::Area> area = XDisplay::areaOf(x.get(), xcb_window_t(window)))
                    rows.push_back({area->root, area->x, area->y + area->height / 4, area->width, 1});
            for (int i = 0; i < count && rows.size() == 2; ++i) {
                const auto images = XDisplay::grab(x.get(), rows);
                std::printf("frames %d %d\n", frameNumberOf(images[0]), frameNumberOf(images[1]));
                std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            }
            std::printf("done\n");
            std::fflush(stdout);
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "--watch")
        return watch();
    // The console's actions are timed to the dispatcher's idle, which only Qt's own dispatcher reports exactly.
    qputenv("QT_NO_GLIB", "1");
    useSilentAudioUnlessSet();
    QApplication app(argc, argv);
    applyLumoStyle(app);
    const double seconds = argc > 1 ? std::max(3.0, QString::fromLocal8Bit(argv[1]).toDouble()) : 20;
    std::printf("show timing: %d displays", int(QGuiApplication::screens().size()));
    printLoad();
    const QString part = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (part != QStringLiteral("console"))
        timelineRuns(seconds);
    if (part != QStringLiteral("timeline"))
        consoleRuns(20, seconds + 5);
    return 0;
}

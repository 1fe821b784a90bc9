// Whether the show keeps its time while the output windows draw, in one process as the program runs. A timeline cue
// plays a 1080p30 clip on 屏幕 1 and 屏幕 2, sends a UDP message every 20 ms and drives an Art-Net target, all on
// loopback; with no output window, then two bound 1920 x 1080 windows with the mapping off, then with a 17 x 17
// curved mesh, blends and a mask. Then, with the console open on a third display: GO to the first changed pixel and
// both screens' frame numbers, read back through X by another process (this program with --watch); Ctrl+Return typed
// through X until it reaches the console and the cue starts; a console action to the event loop's next idle, with
// the mapping off and with the curved mesh the console's monitors draw too ("actions" runs only these); a numbered
// clip played again after it was prepared, released and prepared once more, flat and curved: the first frame number
// shown after GO and the time until the picture moves ("replay" runs only these).
//   xvfb-run -a -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24 -screen 2 1600x1000x24"
//       build/bench/showtiming_bench [seconds, 20] [timeline|console|actions|replay|sound]
#include "benchtools.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "curvedprojectionview.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "outputwindows.h"
#include "timelinelateness.h"
#include "xdisplay.h"

#include <QDir>
#include <QKeyEvent>
#include <QProcess>
#include <QRandomGenerator>
#include <chrono>
#include <functional>
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
        {"two 1920x1080 output windows, 17x17 curved mesh, blends, mask", 2, outputwindows::showMapping()},
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
            send(command);
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

    void send(const QByteArray& command)
    {
        m_process.write(command + '\n');
        m_process.waitForBytesWritten(1000);
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
    QUuid replayStill; // followed by the numbered clip on 屏幕 1 alone, then another still
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
    show.cues << cue(QStringLiteral("重播 静帧 红"), red, std::nullopt);
    ids.replayStill = show.cues.last().id;
    show.cues << cue(QStringLiteral("重播 帧号"), indexed, std::nullopt);
    show.cues << cue(QStringLiteral("重播 静帧 蓝"), blue, std::nullopt);
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
void actionsToIdle(LumoriaApp& lumoria, const ConsoleShow& ids, int rounds, const char* mapping)
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
    std::printf("Console actions while two 1080p30 clips play (%s), to the event loop's next idle:\n", mapping);
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
        // What a busy machine does not stretch; a wait for the X server or the rasteriser is not in it.
        printMs((std::string(what) + ", main thread CPU").c_str(), cpu, "-");
        if (capped)
            std::printf("  %-52s %d of %zu never idle within %d ms (main thread CPU median %.1f ms)\n", what, capped,
                        timings.size(), kCapMs, percentile(cpu, 0.5));
    };
    print("select another cue", select);
    print("GO", go);
}

// The console's monitors of a curved mapping draw and read back on render threads of their own: while both clips
// play, the main thread's share of the CPU and how often the monitors show a new drawing.
void curvedMonitors(LumoriaApp& lumoria, const ConsoleShow& ids)
{
    Engine& engine = lumoria.engine();
    engine.take(cueById(engine, ids.playing.first()));
    runEvents(1500);
    const QList<CurvedProjectionView*> monitors = lumoria.consoleWindow().findChildren<CurvedProjectionView*>();
    std::vector<quint64> before;
    for (const CurvedProjectionView* monitor : monitors)
        before.push_back(monitor->drawings());
    const double cpuStart = threadCpuSeconds();
    const double wallStart = realtimeNow();
    runEvents(5000);
    const double wall = realtimeNow() - wallStart;
    std::printf("  main thread busy %5.1f %% of its time on the CPU while the console's %d curved monitors draw",
                (threadCpuSeconds() - cpuStart) / wall * 100, int(monitors.size()));
    for (size_t i = 0; i < size_t(monitors.size()); ++i)
        std::printf("%s %.1f/s", i == 0 ? ":" : ",", double(monitors[qsizetype(i)]->drawings() - before[i]) / wall);
    std::printf(" (goal: at most 24/s each, drawn off the main thread)\n");
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

// The curved mapping of the replay runs: the show's 17x17 mesh without blends and mask, so that the frame number
// across the top of the picture stays readable.
ProjectorMapping replayMapping()
{
    ProjectorMapping mapping = outputwindows::showMapping();
    mapping.edges = {0, 0, 0, 0};
    mapping.polygonMask.reset();
    return mapping;
}

// A numbered clip played for about a second, then prepared again, released and prepared once more before it plays a
// second time: the frame number the watcher first reads on 屏幕 1's output window after GO, and how long until the
// picture moves on from it.
void replayedClip(LumoriaApp& lumoria, const ConsoleShow& ids, Watcher& watcher, int rounds, const char* mapping)
{
    Engine& engine = lumoria.engine();
    std::vector<double> toFirst;
    std::vector<double> toMove;
    QList<int> firsts;
    int frozen = 0;
    int unseen = 0;
    for (int round = 0; round < rounds; ++round) {
        engine.take(cueById(engine, ids.replayStill));
        runEvents(1500);
        engine.go();
        runEvents(1000);
        engine.go();
        runEvents(500);
        engine.stop(true);
        engine.take(cueById(engine, ids.replayStill));
        runEvents(3000);
        engine.stop(true);
        engine.take(cueById(engine, ids.replayStill));
        runEvents(1500);
        const QList<QByteArray> armed = watcher.ask("replay " + windowId(kScreen1), "armed");
        if (armed.isEmpty() || !armed.last().startsWith("armed"))
            break;
        const qint64 before = steadyNs();
        engine.go();
        const QList<QByteArray> answer = watcher.ask({}, "replay", 15000);
        const QList<QByteArray> words = answer.isEmpty() ? QList<QByteArray>() : answer.last().split(' ');
        const qint64 firstAt = words.value(2).toLongLong();
        const qint64 movedAt = words.value(3).toLongLong();
        if (words.size() != 4 || firstAt <= 0) {
            ++unseen;
            continue;
        }
        firsts << words[1].toInt();
        toFirst.push_back((firstAt - before) / 1e6);
        if (movedAt > 0)
            toMove.push_back((movedAt - before) / 1e6);
        else
            ++frozen;
        runEvents(300);
    }
    engine.stop(true);
    runEvents(300);
    std::printf("A numbered 1080p30 clip played again after it was prepared, released and prepared once more, GO on "
                "屏幕 1's output window (%s), read back by X in another process, console open:\n",
                mapping);
    std::printf("  first frame number shown after GO:");
    for (const int first : std::as_const(firsts))
        std::printf(" %d", first);
    std::printf(" (goal: 0 every time)\n");
    if (!toFirst.empty())
        printMs("GO to the clip's first frame shown", toFirst, "median <= 33 ms");
    if (!toMove.empty())
        printMs("GO to the picture moving", toMove, "within 300 ms");
    if (frozen)
        std::printf("  %d of %zu GOs showed a picture that did not move within 5 s\n", frozen, size_t(firsts.size()));
    if (unseen)
        std::printf("  %d GOs showed no frame of the clip within 5 s\n", unseen);
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

void consoleRuns(int rounds, double seconds, const QString& part)
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

    if (part == QStringLiteral("replay") || part.isEmpty()) {
        Watcher watcher;
        replayedClip(lumoria, ids, watcher, 6, "mapping off");
        printLoad();
        engine.setMapping(replayMapping(), kScreen1);
        runEvents(1500);
        replayedClip(lumoria, ids, watcher, 6, "17x17 curved mesh");
        printLoad();
        engine.setMapping(ProjectorMapping{}, kScreen1);
        runEvents(1500);
        if (part == QStringLiteral("replay"))
            return;
    }
    if (part != QStringLiteral("actions")) {
        Watcher watcher;
        goToPixel(lumoria, ids, watcher, rounds);
        printLoad();
        sameFrame(lumoria, ids, watcher, 120);
        printLoad();
        keyToGo(lumoria, ids, rounds);
        printLoad();
    }
    actionsToIdle(lumoria, ids, rounds, "mapping off");
    printLoad();
    for (const ScreenRole& role : kRoles)
        engine.setMapping(outputwindows::showMapping(), role);
    runEvents(1500);
    actionsToIdle(lumoria, ids, rounds, "17x17 curved mesh, also on the console's monitors");
    curvedMonitors(lumoria, ids);
    printLoad();
    engine.stop(true);
}

// --- Sound against picture ---------------------------------------------------------------------------------------

// A PulseAudio server of the benchmark's own with one null sink, whose monitor is recorded; none without pulseaudio.
class PulseServer
{
  public:
    PulseServer()
    {
        m_process.setProcessEnvironment([this] {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("HOME"), m_folder.path());
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder.path());
            return environment;
        }());
        m_process.start(QStringLiteral("pulseaudio"),
                        {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                         "module-null-sink sink_name=lumo_bench rate=48000 channels=2", "-L",
                         "module-native-protocol-unix socket=" + m_folder.filePath("native") + " auth-anonymous=1"});
        runEventsUntil([this] { return QFile::exists(m_folder.filePath("native")); }, 5000);
    }
    ~PulseServer()
    {
        m_process.terminate();
        m_process.waitForFinished(3000);
    }
    bool isRunning() const { return QFile::exists(m_folder.filePath("native")); }
    QString address() const { return "unix:" + m_folder.filePath("native"); }

  private:
    QTemporaryDir m_folder;
    QProcess m_process;
};

// 1080p30 black with two white frames at the start of every second, and a 40 ms 1 kHz beep at the same instants,
// in Matroska with plain PCM sound, so that no encoder delay shifts the sound.
QString flashClip(const QString& folder, int seconds)
{
    const QString path = folder + "/flash.mkv";
    QDir().mkpath(folder + "/frames");
    for (int frame = 0; frame < seconds * 30; ++frame) {
        QImage image(64, 36, QImage::Format_RGB32);
        image.fill(frame % 30 < 2 ? Qt::white : Qt::black);
        image.save(QString("%1/frames/%2.png").arg(folder).arg(frame, 5, 10, QChar('0')));
    }
    QFile wav(folder + "/beeps.wav");
    wav.open(QIODevice::WriteOnly);
    const int rate = 48000;
    QByteArray samples;
    for (int i = 0; i < seconds * rate; ++i) {
        const int inSecond = i % rate;
        const qint16 value = inSecond < rate / 25 ? qint16(16000 * std::sin(2 * M_PI * 1000 * inSecond / rate)) : 0;
        for (int channel = 0; channel < 2; ++channel)
            samples.append(reinterpret_cast<const char*>(&value), 2);
    }
    const auto word = [&](quint32 v, int bytes) { wav.write(reinterpret_cast<const char*>(&v), bytes); };
    wav.write("RIFF");
    word(36 + quint32(samples.size()), 4);
    wav.write("WAVEfmt ");
    word(16, 4), word(1, 2), word(2, 2), word(rate, 4), word(rate * 4, 4), word(4, 2), word(16, 2);
    wav.write("data");
    word(quint32(samples.size()), 4);
    wav.write(samples);
    wav.close();
    QProcess launch;
    launch.start(QStringLiteral("gst-launch-1.0"),
                 QProcess::splitCommand(
                     QString("-q multifilesrc location=%1/frames/%05d.png index=0 caps=image/png,framerate=30/1 ! "
                             "pngdec ! videoscale method=nearest-neighbour ! video/x-raw,width=1920,height=1080 ! "
                             "videoconvert ! video/x-raw,format=I420 ! x264enc speed-preset=veryfast key-int-max=30 ! "
                             "queue ! mux. filesrc location=%1/beeps.wav ! wavparse ! audioconvert ! "
                             "audio/x-raw,format=S16LE ! queue ! mux. matroskamux name=mux ! filesink location=%2")
                         .arg(folder, path)));
    launch.waitForFinished(300000);
    return QFile::exists(path) ? path : QString();
}

// Offsets in ms of each flash on the window behind its beep (positive: picture late), in the order seen, from the
// watcher; `go` runs once the recording has begun.
std::vector<double> recordSync(Watcher& watcher, const QByteArray& window, double seconds,
                               const std::function<void()>& go = {})
{
    std::vector<double> offsets;
    watcher.send("sync " + window + ' ' + QByteArray::number(seconds));
    if (go) {
        // The recording and the read-back are running by then.
        runEvents(300);
        go();
    }
    const QList<QByteArray> lines = watcher.ask({}, "offsets", int(seconds * 1000) + 20000);
    if (lines.isEmpty() || !lines.last().startsWith("offsets"))
        return offsets;
    for (const QByteArray& word : lines.last().split(' ').mid(1))
        offsets.push_back(word.toDouble());
    return offsets;
}

void printSync(const char* what, const std::vector<double>& offsets)
{
    if (offsets.empty()) {
        std::printf("  %-44s not measured: no flash or beep seen\n", what);
        return;
    }
    std::printf("  %-44s median %+6.1f ms   p10 %+6.1f ms   p90 %+6.1f ms   (n=%zu; goal: median within +-10 ms, "
                "p10..p90 within +-20 ms)\n",
                what, percentile(offsets, 0.5), percentile(offsets, 0.1), percentile(offsets, 0.9), offsets.size());
}

// The first three flashes after GO on their own (the first is frame 0, which goes up before the common start), then
// the rest.
void printSyncFromGo(const char* what, const std::vector<double>& offsets)
{
    if (offsets.size() < 4) {
        std::printf("  %-44s not measured: %zu flashes seen\n", what, offsets.size());
        return;
    }
    printSync(what, std::vector<double>(offsets.begin() + 3, offsets.end()));
    std::printf("  %-44s first three flashes after GO %+6.1f %+6.1f %+6.1f ms (goal: as the rest)\n", "", offsets[0],
                offsets[1], offsets[2]);
}

void soundRuns(double seconds)
{
    PulseServer pulse;
    if (!pulse.isRunning()) {
        std::printf("sound against picture: not measured, pulseaudio could not be started\n");
        return;
    }
    qputenv("PULSE_SERVER", pulse.address().toLocal8Bit());
    QTemporaryDir folder;
    std::printf("sound against picture: making a flash-and-beep clip...\n");
    std::fflush(stdout);
    const QString clip = flashClip(folder.path(), int(seconds) + 4);
    if (clip.isEmpty()) {
        std::printf("  not measured: the clip could not be made\n");
        return;
    }
    Watcher watcher;
    std::printf("Sound against picture: a flash and a beep every second; picture read back through X, sound recorded "
                "from a PulseAudio null sink's monitor; %.0f s each:\n",
                seconds);
    // The same measurement of GStreamer's own player, for what the measurement itself adds.
    {
        QProcess reference;
        reference.setProcessChannelMode(QProcess::MergedChannels);
        reference.start(QStringLiteral("gst-launch-1.0"),
                        {"-q", "playbin", "uri=" + QUrl::fromLocalFile(clip).toString(), "video-sink=ximagesink",
                         "audio-sink=pulsesink"});
        runEvents(1000);
        const auto root = XDisplay::connect();
        const QByteArray screen =
            root ? QByteArray::number(xcb_setup_roots_iterator(xcb_get_setup(root.get())).data->root) : QByteArray("0");
        printSync("gst-launch-1.0 playbin (reference)", recordSync(watcher, screen, seconds));
        reference.kill();
        reference.waitForFinished(3000);
    }
    for (const bool mapped : {false, true}) {
        QTemporaryDir recovery;
        std::unique_ptr<Engine> engine = outputwindows::makeEngine(recovery);
        Cue cue;
        cue.main = QUrl::fromLocalFile(clip);
        cue.videoAudio = true;
        Show show = engine->show();
        show.outputScreens = kRoles;
        show.cues = {cue};
        engine->setShow(show);
        if (mapped)
            engine->setMapping(outputwindows::showMapping(), kScreen1);
        engine->bind(kScreen1, engine->displays().at(0).number);
        runEvents(1500);
        printSyncFromGo(
            mapped ? "output window, 17x17 curved mesh, blends, mask" : "output window, mapping off",
            recordSync(watcher, windowId(kScreen1), seconds, [&] { engine->take(engine->show().cues.first()); }));
        engine->stop(true);
        runEvents(300);
    }
    printLoad();
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

// The sound of the null sink's monitor, each sample placed on the steady clock: a chunk is never read before its
// last sample was played, so the earliest reading of all bounds when sample 0 played.
struct Recording
{
    std::vector<qint16> samples;
    double firstSampleAt = 1e300; // seconds on the steady clock
};

Recording recordSound(double seconds)
{
    Recording recording;
    FILE* in =
        popen("parec -d lumo_bench.monitor --raw --format=s16le --rate=48000 --channels=1 --latency-msec=2", "r");
    if (!in)
        return recording;
    const double end = steadyNs() / 1e9 + seconds;
    qint16 chunk[96];
    while (steadyNs() / 1e9 < end) {
        const size_t count = std::fread(chunk, 2, 96, in);
        if (count == 0)
            break;
        recording.samples.insert(recording.samples.end(), chunk, chunk + count);
        recording.firstSampleAt =
            std::min(recording.firstSampleAt, steadyNs() / 1e9 - double(recording.samples.size()) / 48000);
    }
    pclose(in);
    return recording;
}

// Flashes seen at a window's centre and beeps heard, paired each flash with the nearest beep; offsets in ms.
std::vector<double> syncOffsets(xcb_connection_t* x, xcb_window_t window, double seconds)
{
    std::vector<double> flashes;
    std::optional<XDisplay::Area> area = XDisplay::areaOf(x, window);
    if (!area)
        return {};
    area = XDisplay::Area{area->root, area->x + area->width / 2 - 8, area->y + area->height / 2 - 8, 16, 16};
    Recording sound;
    std::thread recorder([&] { sound = recordSound(seconds); });
    const double end = steadyNs() / 1e9 + seconds;
    bool white = false;
    while (steadyNs() / 1e9 < end) {
        const double asked = steadyNs() / 1e9;
        const std::vector<std::uint32_t> pixels = XDisplay::grab(x, {*area}).front();
        int bright = 0;
        for (const std::uint32_t pixel : pixels)
            bright += ((pixel >> 8) & 255) > 128 ? 1 : 0;
        const bool nowWhite = !pixels.empty() && bright * 2 > int(pixels.size());
        if (nowWhite && !white)
            flashes.push_back(asked);
        white = nowWhite;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    recorder.join();
    std::vector<double> beeps;
    int quiet = 48000;
    for (size_t i = 0; i < sound.samples.size(); ++i) {
        if (std::abs(sound.samples[i]) > 2000) {
            if (quiet > 48000 / 5)
                beeps.push_back(sound.firstSampleAt + double(i) / 48000);
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    std::vector<double> offsets;
    for (const double flash : flashes) {
        double nearest = 1e300;
        for (const double beep : beeps)
            if (std::abs(flash - beep) < std::abs(nearest))
                nearest = flash - beep;
        if (std::abs(nearest) < 0.5)
            offsets.push_back(nearest * 1000);
    }
    return offsets;
}

// Reads commands on stdin and answers on stdout:
//   change <window>   "armed", then "changed <steady ns>" at the first read that differs from the first (-1: none in 5
//   s) frames <window> <window> <count> <ms>   "frames <a> <b>" every <ms>, then "done"
//   replay <window>   "armed", then "replay <first frame number> <steady ns it was seen> <steady ns the picture moved>"
//   (-1: not within 5 s)
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
        } else if (command == "replay") {
            unsigned long window = 0;
            std::cin >> window;
            const std::optional<XDisplay::Area> area = XDisplay::areaOf(x.get(), xcb_window_t(window));
            std::printf("armed\n");
            std::fflush(stdout);
            int first = -1;
            qint64 firstAt = -1;
            qint64 movedAt = -1;
            const qint64 deadline = steadyNs() + 5'000'000'000;
            while (area && movedAt < 0 && steadyNs() < deadline) {
                const qint64 asked = steadyNs();
                // The numbers across the top; below them the clip is grey, where the stills are red and blue.
                const auto images = XDisplay::grab(
                    x.get(), {{area->root, area->x, area->y + area->height / 4, area->width, 1},
                              {area->root, area->x + area->width / 2, area->y + area->height * 3 / 4, 1, 1}});
                const std::uint32_t probe = images[1].empty() ? 0 : images[1].front();
                const int red = int((probe >> 16) & 255), green = int((probe >> 8) & 255), blue = int(probe & 255);
                const bool clip = std::abs(red - blue) < 30 && std::abs(red - green) < 30 && green > 60 && green < 230;
                if (clip) {
                    const int number = frameNumberOf(images[0]);
                    if (first < 0) {
                        first = number;
                        firstAt = asked;
                    } else if (number != first) {
                        movedAt = asked;
                    }
                }
                std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            std::printf("replay %d %lld %lld\n", first, qlonglong(firstAt), qlonglong(movedAt));
            std::fflush(stdout);
        } else if (command == "sync") {
            unsigned long window = 0;
            double seconds = 0;
            std::cin >> window >> seconds;
            std::printf("offsets");
            for (const double offset : syncOffsets(x.get(), xcb_window_t(window), seconds))
                std::printf(" %.2f", offset);
            std::printf("\n");
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
    const QString part = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    // The console's actions are timed to the dispatcher's idle, which only Qt's own dispatcher reports exactly.
    qputenv("QT_NO_GLIB", "1");
    // Sound is heard only in its own run, through a PulseAudio server of the benchmark's own.
    SoundOutput::shared().choose(part == QStringLiteral("sound") ? SoundSink::device : SoundSink::silent);
    QApplication app(argc, argv);
    applyLumoStyle(app);
    const double seconds = argc > 1 ? std::max(3.0, QString::fromLocal8Bit(argv[1]).toDouble()) : 20;
    std::printf("show timing: %d displays", int(QGuiApplication::screens().size()));
    printLoad();
    if (part == QStringLiteral("sound")) {
        soundRuns(seconds);
        return 0;
    }
    if (part != QStringLiteral("console") && part != QStringLiteral("actions") && part != QStringLiteral("replay"))
        timelineRuns(seconds);
    if (part != QStringLiteral("timeline"))
        consoleRuns(20, seconds + 5, part);
    std::printf("sound against picture: measured on its own (argument \"sound\", needs pulseaudio)\n");
    return 0;
}

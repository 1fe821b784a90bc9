// Whether the show keeps its time while the output windows draw, in one process as the program runs. A timeline cue
// plays a 1080p30 clip on 屏幕 1 and 屏幕 2, sends a UDP message every 20 ms and drives an Art-Net target, all on
// loopback; with no output window, then two bound 1920 x 1080 windows with the mapping off, then with a 17 x 17
// curved mesh, blends and a mask. Then, with the console open on a third display: GO to the first changed pixel and
// both screens' frame numbers, read back through X by another process (this program with --watch); Ctrl+Return typed
// through X until it reaches the console and the cue starts; a console action to the event loop's next idle, with
// the mapping off and with the curved mesh the console's monitors draw too ("actions" runs only these); a numbered
// clip played again after it was prepared, released and prepared once more, flat and curved: the first frame number
// shown after GO and the time until the picture moves ("replay" runs only these). "sound" measures beep against flash
// of a clip with its own sound, through a PulseAudio server of its own: GStreamer's own player for reference, then
// the first GO of a fresh process, at every tenth of a second from 0 to 4 s after 屏幕 1 is bound, mapping off and
// curved (this program with --sound-go, one process per GO).
//   xvfb-run -a -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24 -screen 2 1600x1000x24"
//       build/bench/showtiming_bench [seconds, 20] [timeline|console|actions|replay|sound]
#include "benchtools.h"
#include "consoleview.h"
#include "consolewindow.h"
#include "curvedprojectionview.h"
#include "flashbeeps.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mediafixtures.h"
#include "outputwindows.h"
#include "privatesoundserver.h"
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

// The console's recovery folder and settings in a home of the benchmark's own.
LumoriaApp::Options consoleOptions(const QTemporaryDir& home)
{
    LumoriaApp::Options options;
    options.recoveryDirectory = home.filePath(QStringLiteral("recovery"));
    options.settingsFile = home.filePath(QStringLiteral("settings.ini"));
    return options;
}

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
    LumoriaApp lumoria(consoleOptions(home));
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

std::vector<double> measured(const std::vector<std::optional<double>>& offsets, size_t from)
{
    std::vector<double> values;
    for (size_t i = from; i < offsets.size(); ++i)
        if (offsets[i])
            values.push_back(*offsets[i]);
    return values;
}

FlashBeeps::Time steadyTime(qint64 ns)
{
    return FlashBeeps::Time(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::nanoseconds(ns)));
}

// The delays between binding 屏幕 1 and the first GO that the sweep measures, each in a fresh process.
constexpr int kSweepSteps = 40;
constexpr double kSweepStep = 0.1;
// Seconds of each swept cue watched after its GO: a lag the sound starts with stays for the whole cue.
constexpr double kSweepSeconds = 4;
// With the sink asleep the sound shows where it plays only seconds after it began.
constexpr double kLateSweepSeconds = 9;
// How long after GO the sink sleeps in the late runs: the sound begins over a second late, not a whole second.
constexpr double kSinkAsleepSeconds = 1.5;

// One GO of the sweep, as the process that ran it told it and as heard and seen meanwhile.
struct SweptGo
{
    FlashBeeps::Start start;
    double goAfterBinding = -1; // seconds
    bool prepared = false;
    double firstBeepAfterGo = -1; // ms
};

// Runs this program with --sound-go in a fresh process: the console starts (where there is a third display), the show
// is set to the one flash-and-beep cue, 屏幕 1 is bound and the cue is taken `delay` seconds later. The sink's monitor
// is recorded and the output window read back through X here, in this process. The recording has begun to flow
// before the process starts, unless the sink is put to sleep until a while after GO, so that the sound begins late.
SweptGo sweptGo(const PrivateSoundServer& server, const QString& clip, double delay, bool curved, bool sinkAsleep)
{
    SweptGo swept;
    const double seconds = sinkAsleep ? kLateSweepSeconds : kSweepSeconds;
    QString why;
    if (sinkAsleep && !server.sleepSink(why))
        std::printf("    the sink does not sleep: %s\n", qUtf8Printable(why));
    const std::unique_ptr<PrivateSoundServer::Recording> sound =
        sinkAsleep ? server.recordTheSleepingSink() : server.record();
    bool woken = !sinkAsleep;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--sound-go"), QString::number(delay),
                                                          curved ? "curved" : "plain", clip, QString::number(seconds)});
    std::unique_ptr<FlashBeeps::FlashWatch> flashes;
    qint64 bound = -1;
    qint64 go = -1;
    runEventsUntil(
        [&] {
            while (child.canReadLine()) {
                const QList<QByteArray> words = child.readLine().trimmed().split(' ');
                if (words.value(0) == "window" && !flashes) {
                    flashes = FlashBeeps::FlashWatch::start(words.value(1).toULong());
                } else if (words.value(0) == "bound") {
                    bound = words.value(1).toLongLong();
                } else if (words.value(0) == "go") {
                    go = words.value(1).toLongLong();
                    swept.prepared = words.value(2) == "prepared";
                }
            }
            if (!woken && go >= 0 && steadyNs() >= go + qint64(kSinkAsleepSeconds * 1e9)) {
                woken = true;
                if (!server.wakeSink(why))
                    std::printf("    the sink does not wake: %s\n", qUtf8Printable(why));
            }
            return child.state() == QProcess::NotRunning;
        },
        int((delay + seconds) * 1000) + 30000);
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(3000);
    }
    std::vector<FlashBeeps::Time> seen = flashes ? flashes->stop() : std::vector<FlashBeeps::Time>{};
    const std::vector<qint16> heard = sound->stop();
    if (go < 0 || bound < 0)
        return swept;
    const FlashBeeps::Time goAt = steadyTime(go);
    // Flashes of the cue only; the last one may have come without the time to hear its beep.
    std::erase_if(seen, [&](FlashBeeps::Time flash) {
        return flash < goAt || flash > goAt + std::chrono::milliseconds(int(seconds * 1000) - 300);
    });
    const std::vector<FlashBeeps::Time> beeps = FlashBeeps::beepOnsets(
        heard, [&](std::size_t sample) { return sound->playedAt(sample); }, PrivateSoundServer::kRate);
    swept.start = FlashBeeps::compare(seen, beeps);
    swept.goAfterBinding = (go - bound) / 1e9;
    for (const FlashBeeps::Time beep : beeps)
        if (beep > goAt) {
            swept.firstBeepAfterGo = std::chrono::duration<double, std::milli>(beep - goAt).count();
            break;
        }
    return swept;
}

// How the beeps from flash `from` on lie against their flashes: every one within +-20 ms and none missing, or some
// later than their flashes (the sound late), or some earlier (most often the picture drawn late on a busy machine).
enum class Judged { together, soundLate, pictureLate, missing };
Judged judge(const SweptGo& swept, size_t from)
{
    if (swept.start.offsets.size() < from + 2)
        return Judged::missing;
    Judged judged = Judged::together;
    for (size_t i = from; i < swept.start.offsets.size(); ++i) {
        const std::optional<double>& offset = swept.start.offsets[i];
        if (!offset)
            return Judged::missing;
        if (*offset > 20)
            judged = Judged::soundLate;
        else if (*offset < -20 && judged == Judged::together)
            judged = Judged::pictureLate;
    }
    if (from == 0 && int(swept.start.offsets.size()) > swept.start.beeps)
        return Judged::missing;
    return judged;
}

const char* judgedText(Judged judged)
{
    switch (judged) {
    case Judged::together:
        return "";
    case Judged::soundLate:
        return "  << sound late";
    case Judged::pictureLate:
        return "  << picture late";
    case Judged::missing:
        return "  << beep missing";
    }
    return "";
}

struct JudgedCounts
{
    int together = 0, soundLate = 0, pictureLate = 0, missing = 0, counted = 0;
    void add(Judged judged)
    {
        ++counted;
        (judged == Judged::together      ? together
         : judged == Judged::soundLate   ? soundLate
         : judged == Judged::pictureLate ? pictureLate
                                         : missing)++;
    }
    void print(const char* what) const
    {
        std::printf("    %s: %d of %d within +-20 ms; sound late in %d, only the picture late in %d, a beep missing in "
                    "%d\n",
                    what, together, counted, soundLate, pictureLate, missing);
    }
};

void printSwept(const SweptGo& swept, double delay, bool judgedFromLast3)
{
    if (swept.goAfterBinding < 0) {
        std::printf("    GO %.1f s after binding: not measured, the run did not report its GO\n", delay);
        return;
    }
    std::printf("    GO %.2f s after binding, %-10s first beep %4.0f ms after GO; beep minus flash:",
                swept.goAfterBinding, swept.prepared ? "prepared," : "loading,", swept.firstBeepAfterGo);
    for (const std::optional<double>& offset : swept.start.offsets)
        offset ? std::printf(" %+6.1f", *offset) : std::printf("   none");
    const size_t from = judgedFromLast3 ? std::max<size_t>(swept.start.offsets.size(), 3) - 3 : swept.prepared;
    std::printf("  (%d beeps for %zu flashes)%s\n", swept.start.beeps, swept.start.offsets.size(),
                judgedText(judge(swept, from)));
    std::fflush(stdout);
}

// The whole sweep on one kind of output: GO at every tenth of a second from 0 to 4 s after binding.
void soundSweep(const PrivateSoundServer& server, const QString& clip, bool curved)
{
    std::printf("  %s: a fresh process per GO, console open; 屏幕 1 bound, GO the given seconds later (beep minus "
                "flash per flash, + = sound late; goal: within +-20 ms, no beep missing; a prepared cue's first "
                "flash goes up at GO and is not judged):\n",
                curved ? "output window, 17x17 curved mesh, blends, mask" : "output window, mapping off");
    std::fflush(stdout);
    JudgedCounts counts;
    std::vector<double> all;
    for (int step = 0; step <= kSweepSteps; ++step) {
        const double delay = step * kSweepStep;
        const SweptGo swept = sweptGo(server, clip, delay, curved, false);
        printSwept(swept, delay, false);
        if (swept.goAfterBinding < 0)
            continue;
        counts.add(judge(swept, swept.prepared));
        const std::vector<double> offsets = measured(swept.start.offsets, swept.prepared);
        all.insert(all.end(), offsets.begin(), offsets.end());
    }
    if (!all.empty())
        std::printf("    all flashes judged: median %+6.1f ms   p1 %+6.1f ms   p99 %+6.1f ms   min %+6.1f ms   max "
                    "%+6.1f ms\n",
                    percentile(all, 0.5), percentile(all, 0.01), percentile(all, 0.99), percentile(all, 0),
                    percentile(all, 1));
    counts.print("runs");
    printLoad();
}

// A few GOs with the sink asleep until 1.5 s after GO, as a device slow to wake: the sound begins late, and is brought
// back to the pictures once it shows where it plays.
void lateSoundRuns(const PrivateSoundServer& server, const QString& clip, bool curved)
{
    std::printf("  %s, the sink asleep until 1.5 s after GO (the sound begins late; goal: the last three flashes "
                "within +-20 ms of their beeps):\n",
                curved ? "curved" : "mapping off");
    JudgedCounts counts;
    for (const double delay : {0.5, 1.3, 2.3}) {
        const SweptGo swept = sweptGo(server, clip, delay, curved, true);
        printSwept(swept, delay, true);
        counts.add(judge(swept, std::max<size_t>(swept.start.offsets.size(), 3) - 3));
    }
    counts.print("the last three seconds of the runs");
    printLoad();
}

void soundRuns(double seconds)
{
    PrivateSoundServer server;
    QString why;
    if (!server.start(why)) {
        std::printf("sound against picture: not measured, %s\n", qUtf8Printable(why));
        return;
    }
    server.useInThisProcess();
    std::printf("sound against picture: making a flash-and-beep clip (cached)...\n");
    std::fflush(stdout);
    const QString clip = MediaFixtures::flashBeepVideo(int(std::max(seconds, kLateSweepSeconds)) + 4);
    std::printf("Sound against picture: a flash and a beep every second; picture read back through X, sound recorded "
                "from a PulseAudio null sink's monitor, each recording flowing before its GO:\n");
    // The same measurement of GStreamer's own player, for what the measurement itself adds.
    {
        const std::unique_ptr<PrivateSoundServer::Recording> sound = server.record();
        const auto root = XDisplay::connect();
        const xcb_window_t screen = root ? xcb_setup_roots_iterator(xcb_get_setup(root.get())).data->root : 0;
        const std::unique_ptr<FlashBeeps::FlashWatch> flashes = FlashBeeps::FlashWatch::start(screen);
        QProcess reference;
        reference.setProcessChannelMode(QProcess::MergedChannels);
        reference.start(QStringLiteral("gst-launch-1.0"),
                        {"-q", "playbin", "uri=" + QUrl::fromLocalFile(clip).toString(), "video-sink=ximagesink",
                         "audio-sink=pulsesink"});
        runEvents(int(seconds * 1000) + 1000);
        reference.kill();
        reference.waitForFinished(3000);
        const std::vector<FlashBeeps::Time> seen = flashes ? flashes->stop() : std::vector<FlashBeeps::Time>{};
        const std::vector<qint16> heard = sound->stop();
        const FlashBeeps::Start start = FlashBeeps::compare(
            seen, FlashBeeps::beepOnsets(
                      heard, [&](std::size_t sample) { return sound->playedAt(sample); }, PrivateSoundServer::kRate));
        const std::vector<double> offsets = measured(start.offsets, 0);
        if (offsets.empty())
            std::printf(
                "  gst-launch-1.0 playbin (reference): not measured, no flash or beep seen (it needs GStreamer's "
                "ximagesink)\n");
        else
            std::printf("  gst-launch-1.0 playbin (reference): beep minus flash median %+6.1f ms   p10 %+6.1f ms   "
                        "p90 %+6.1f ms (n=%zu)\n",
                        percentile(offsets, 0.5), percentile(offsets, 0.1), percentile(offsets, 0.9), offsets.size());
    }
    for (const bool curved : {false, true})
        soundSweep(server, clip, curved);
    for (const bool curved : {false, true})
        lateSoundRuns(server, clip, curved);
}

// One GO of the sweep, in this fresh process (--sound-go <delay> <plain|curved> <clip> <seconds>): tells "window
// <id>", "bound <steady ns>" and "go <steady ns> <prepared|loading>" on stdout, then plays the cue for the seconds
// given and ends. Its sound device is found as the program finds it, through the server PULSE_SERVER names.
int soundGo(const QStringList& arguments)
{
    const double delay = arguments.value(0).toDouble();
    const bool curved = arguments.value(1) == QStringLiteral("curved");
    const QString clip = arguments.value(2);
    const double seconds = arguments.value(3).toDouble();
    QTemporaryDir home;
    LumoriaApp lumoria(consoleOptions(home));
    Engine& engine = lumoria.engine();
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() >= 3) {
        lumoria.consoleWindow().setScreen(screens[2]);
        lumoria.consoleWindow().move(screens[2]->geometry().topLeft());
        lumoria.show();
    }
    Cue cue;
    cue.name = QStringLiteral("闪光");
    cue.main = QUrl::fromLocalFile(clip);
    cue.videoAudio = true;
    Show show = engine.show();
    show.outputScreens = {kScreen1};
    show.cues = {cue};
    engine.setShow(show);
    if (curved)
        engine.setMapping(outputwindows::showMapping(), kScreen1);
    const qint64 bound = steadyNs();
    engine.bind(kScreen1, engine.displays().at(0).number);
    std::printf("bound %lld\n", qlonglong(bound));
    std::fflush(stdout);
    bool told = false;
    const auto tellWindow = [&] {
        if (told)
            return;
        if (ScreenOutputWindow* window = outputwindows::outputWindowOf(kScreen1)) {
            std::printf("window %llu\n", qulonglong(window->winId()));
            std::fflush(stdout);
            told = true;
        }
    };
    const qint64 goAt = bound + qint64(delay * 1e9);
    runEventsUntil(
        [&] {
            tellWindow();
            return steadyNs() >= goAt;
        },
        int(delay * 1000) + 10000);
    engine.go();
    const qint64 go = steadyNs();
    const Picture* shown = engine.program(kScreen1)->foreground();
    const bool prepared = shown && shown->player() && shown->player()->isReady();
    std::printf("go %lld %s\n", qlonglong(go), prepared ? "prepared" : "loading");
    std::fflush(stdout);
    runEventsUntil(
        [&] {
            tellWindow();
            return steadyNs() >= go + qint64((seconds + 0.6) * 1e9);
        },
        int(seconds * 1000) + 10000);
    engine.stop(true);
    runEvents(300);
    return 0;
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
    // A GO of the sound sweep finds its sound device as the program does, through the server the sweep points it at.
    const bool soundGoRun = argc > 1 && std::string(argv[1]) == "--sound-go";
    // Sound is heard only in its own run, through a PulseAudio server of the benchmark's own.
    if (!soundGoRun)
        SoundOutput::shared().choose(part == QStringLiteral("sound") ? SoundSink::device : SoundSink::silent);
    QApplication app(argc, argv);
    applyLumoStyle(app);
    if (soundGoRun)
        return soundGo(QCoreApplication::arguments().mid(2));
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

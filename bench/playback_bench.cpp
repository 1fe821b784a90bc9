// Figures for playback: GO latency to the first frame of a prepared 1080p video and of a still, the cost and
// punctuality of the 15 ms timeline scheduler on a 10,000-event timeline, and the longest step of a timeline that
// brings up an 8K PNG and a 4K JPEG at the same second.
//   playback_bench [seconds of timeline to step, 60 by default]
#include "benchtools.h"
#include "clock.h"
#include "engine.h"
#include "loopbackreceiver.h"
#include "mediafixtures.h"
#include "meshvideofeed.h"
#include "picture.h"
#include "steadyclock.h"
#include "stillimage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using namespace BenchTools;

// A still cue on air, a 1080p video cue next: GO, then the time until the video's frame reaches the frame feed of
// the first screen's foreground picture, and until the first frame of playback after the common start.
void goLatency(const QTemporaryDir& folder)
{
    const QUrl video = QUrl::fromLocalFile(MediaFixtures::video({.size = {1920, 1080}, .seconds = 3}));
    const QUrl still = QUrl::fromLocalFile(MediaFixtures::png({1920, 1080}, Qt::darkCyan));
    std::unique_ptr<Engine> engine = makeEngine(folder, false);
    Show show = engine->show();
    show.cues[0].main = still;
    show.cues[1].main = video;
    show.cues[2].main = still;
    engine->setShow(show);

    std::vector<double> toFeed;
    std::vector<double> toMovingFrame;
    std::vector<double> toStill;
    int prepared = 0;
    const int rounds = 40;
    for (int round = 0; round < rounds; ++round) {
        engine->stop(true);
        engine->take(engine->show().cues[0]);
        // Time for the next cue's video to load and preroll, as it would have while the still is on air.
        runEvents(400);

        QElapsedTimer clock;
        clock.start();
        engine->go();
        Picture* shown = engine->program(kScreen1)->foreground();
        if (!shown)
            continue;
        prepared += shown->player()->isReady() ? 1 : 0;
        std::optional<double> firstFrame;
        std::optional<double> movingFrame;
        const QUuid token = shown->meshVideoFeed()->add([&](const VideoFrame& frame) {
            const double at = double(clock.nsecsElapsed()) / 1e6;
            if (!firstFrame)
                firstFrame = at;
            if (!movingFrame && frame.time() > 0)
                movingFrame = at;
        });
        runEventsUntil([&] { return movingFrame.has_value(); }, 3000);
        shown->meshVideoFeed()->remove(token);
        if (firstFrame)
            toFeed.push_back(*firstFrame);
        if (movingFrame)
            toMovingFrame.push_back(*movingFrame);

        clock.restart();
        engine->go();
        if (engine->program(kScreen1)->image())
            toStill.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::printf("GO latency (%d rounds, 1080p H.264 prepared in %d of them, 1080p PNG still)\n", rounds, prepared);
    printFigures("go() to the video's first frame on the screen's feed", toFeed);
    printFigures("go() to the second frame of the video (0.1 s common start)", toMovingFrame);
    printFigures("go() to the still on the program picture", toStill);
}

// Steps are the scheduler's clock reads: each step reads the clock once, at its start.
class RecordingClock : public Clock
{
  public:
    double uptime() const override
    {
        const double now = steady.uptime();
        reads.push_back({now, threadCpuSeconds()});
        return now;
    }
    struct Read
    {
        double at;
        double cpu;
        double step = 0;   // CPU of the event delivery that ran the step
        double events = 0; // CPU of the other event deliveries up to the next step
    };
    mutable std::vector<Read> reads;

  private:
    SteadyClock steady;
};

// Times every top-level event delivery of the main thread, so that a cycle from one step to the next splits into the
// step itself, the other events of the cycle (the sends it handed over, their reports, deferred deletes, stale timers)
// and the event loop's own work between deliveries (polling, waking up, timer bookkeeping). A delivery never sleeps,
// so its steady-clock time is its CPU time, read without the system call that the thread's CPU clock costs.
class MeasuringApplication : public QGuiApplication
{
  public:
    using QGuiApplication::QGuiApplication;

    void watch(RecordingClock* clock) { m_clock = clock; }

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!m_clock || m_nested)
            return QGuiApplication::notify(receiver, event);
        m_nested = true;
        const size_t readsBefore = m_clock->reads.size();
        const auto before = std::chrono::steady_clock::now();
        const bool handled = QGuiApplication::notify(receiver, event);
        const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
        m_nested = false;
        if (m_clock->reads.size() != readsBefore)
            m_clock->reads.back().step += spent;
        else if (!m_clock->reads.empty())
            m_clock->reads.back().events += spent;
        return handled;
    }

  private:
    RecordingClock* m_clock = nullptr;
    bool m_nested = false;
};

// Counts the datagrams off the main thread, so that receiving them is not the scheduler's work. It collects them
// every 0.1 s rather than wait on the socket: a waiting reader is woken by each send, and the kernel would charge
// that wake-up to the sending thread, which a peer on the network never costs it.
class ReceivingThread
{
  public:
    ReceivingThread()
        : m_thread([this] {
              while (!m_stop) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
                  m_received += int(m_receiver.drain().size());
              }
          })
    {
    }
    ~ReceivingThread() { stop(); }
    ReceivingThread(const ReceivingThread&) = delete;
    ReceivingThread& operator=(const ReceivingThread&) = delete;

    quint16 port() const { return m_receiver.port(); }
    // Every datagram that has arrived, once the thread has stopped.
    int stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
            m_received += int(m_receiver.drain().size());
        }
        return m_received;
    }

  private:
    LoopbackReceiver m_receiver;
    std::atomic<bool> m_stop = false;
    std::atomic<int> m_received = 0;
    std::thread m_thread;
};

struct CycleFigures
{
    std::vector<double> step;
    std::vector<double> events;
    std::vector<double> loop;
    std::vector<double> cycle;

    void add(const RecordingClock::Read& read, const RecordingClock::Read& next)
    {
        const double total = (next.cpu - read.cpu) * 1000;
        step.push_back(read.step * 1000);
        events.push_back(read.events * 1000);
        loop.push_back(std::max(total - (read.step + read.events) * 1000, 0.0));
        cycle.push_back(total);
    }

    void print(const char* what) const
    {
        std::printf("  main-thread CPU, %s:\n", what);
        printFigures("  the step itself (timer event: scan, execute, hand-over)", step);
        printFigures("  other events up to the next step (sends, reports, ...)", events);
        printFigures("  event loop between events (poll, wake-up, timers)", loop);
        printFigures("  whole cycle from this step to the next", cycle);
    }
};

void schedulerCost(MeasuringApplication& app, const QTemporaryDir& folder, double seconds)
{
    ReceivingThread receiver;
    auto clock = std::make_shared<RecordingClock>();
    std::unique_ptr<Engine> engine = makeEngine(folder, false, {.clock = clock});
    const int count = 10000;
    const double span = 600;
    QList<TimelineEvent> events;
    events.reserve(count);
    // Times spread evenly at random, so that they fall anywhere between two steps; stored out of order.
    quint32 seed = 12345;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        TimelineEvent event;
        event.time = std::round(span * (seed / 4294967296.0) * 100) / 100;
        event.track = Track::message;
        event.host = QStringLiteral("127.0.0.1");
        event.port = receiver.port();
        event.payload = QString::number(i);
        events.append(event);
    }
    Show show = engine->show();
    show.cues[0].timeline = events;
    engine->setShow(show);

    engine->take(engine->show().cues[0]);
    const size_t firstRead = clock->reads.size();
    const double origin = clock->reads.back().at;
    app.watch(clock.get());
    runEvents(int(seconds * 1000));
    app.watch(nullptr);
    runEvents(200);

    std::vector<RecordingClock::Read> steps(clock->reads.begin() + qsizetype(firstRead), clock->reads.end());
    std::vector<double> times;
    for (const TimelineEvent& event : std::as_const(events))
        times.push_back(origin + event.time);
    std::sort(times.begin(), times.end());
    // An event runs in the first step whose position has reached its time; a step's cost runs up to the next read.
    CycleFigures quiet;
    CycleFigures busy;
    std::vector<double> gaps;
    std::vector<double> lateness;
    auto due = times.cbegin();
    for (size_t i = 0; i + 1 < steps.size(); ++i) {
        int ran = 0;
        for (; due != times.cend() && *due <= steps[i].at; ++due, ++ran)
            lateness.push_back((steps[i].at - *due) * 1000);
        (ran > 0 ? busy : quiet).add(steps[i], steps[i + 1]);
        gaps.push_back((steps[i + 1].at - steps[i].at) * 1000);
    }
    std::printf("Scheduler: %d message events over %.0f s to a loopback UDP port, stepped for %.0f s\n", count, span,
                seconds);
    std::printf("  steps %zu, events due %zu, datagrams received %d\n", steps.size(), lateness.size(), receiver.stop());
    quiet.print("steps without a due event");
    busy.print("steps that sent messages");
    printFigures("interval between steps", gaps);
    printFigures("lateness of an event behind its due time", lateness);
}

// A picture with detail everywhere, as a photo has, so that it costs what a real one costs to decode.
QString detailedPicture(const QTemporaryDir& folder, QSize size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, Qt::darkBlue);
    gradient.setColorAt(1, Qt::darkYellow);
    painter.fillRect(image.rect(), gradient);
    painter.end();
    quint32 seed = 7;
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = int(seed >> 28) - 8;
            const QRgb pixel = line[x];
            line[x] = qRgb(std::clamp(qRed(pixel) + noise, 0, 255), std::clamp(qGreen(pixel) + noise, 0, 255),
                           std::clamp(qBlue(pixel) + noise, 0, 255));
        }
    }
    const QString path = folder.filePath(QString("detail-%1x%2.%3").arg(size.width()).arg(size.height()).arg(format));
    image.save(path, format, 90);
    return path;
}

// Both stills are due 1 s into the timeline, one on each screen; the scheduler must never wait on their decode.
void stillsAtOnce(MeasuringApplication& app, const QTemporaryDir& folder)
{
    const QString png = detailedPicture(folder, {7680, 4320}, "png");
    const QString jpeg = detailedPicture(folder, {3840, 2160}, "jpg");
    QElapsedTimer decode;
    decode.start();
    readStillImage(png);
    const double pngDecode = double(decode.nsecsElapsed()) / 1e6;
    decode.restart();
    readStillImage(jpeg);
    const double jpegDecode = double(decode.nsecsElapsed()) / 1e6;

    auto clock = std::make_shared<RecordingClock>();
    std::unique_ptr<Engine> engine = makeEngine(folder, false, {.clock = clock});
    Show show = engine->show();
    QList<MediaAsset> assets;
    QList<TimelineEvent> events;
    for (const auto& [path, track] : {std::pair(png, Track::main), std::pair(jpeg, Track::side)}) {
        MediaAsset asset;
        asset.url = QUrl::fromLocalFile(path);
        asset.kind = AssetKind::image;
        assets.append(asset);
        TimelineEvent event;
        event.time = 1;
        event.track = track;
        event.assetID = asset.id;
        event.imageDuration = 5;
        events.append(event);
    }
    show.assets = assets;
    show.cues[0].timeline = events;
    engine->setShow(show);

    std::optional<double> shownAt[2];
    const ScreenRole screens[2] = {kScreen1, kScreen2};
    for (int i = 0; i < 2; ++i)
        QObject::connect(engine->program(screens[i]), &Picture::foregroundChanged, [&, i] {
            const Picture* front = engine->program(screens[i])->foreground();
            if (front && front->image() && !shownAt[i])
                shownAt[i] = SteadyClock().uptime();
        });
    engine->take(engine->show().cues[0]);
    const size_t firstRead = clock->reads.size();
    const double due = clock->reads.back().at + 1;
    app.watch(clock.get());
    runEvents(2500);
    app.watch(nullptr);

    std::vector<double> steps;
    for (size_t i = firstRead; i < clock->reads.size(); ++i)
        steps.push_back(clock->reads[i].step * 1000);
    std::printf("Stills: an 8K PNG and a 4K JPEG due together 1 s into a timeline, on two screens\n");
    std::printf("  decoding them on one thread would take %.0f ms (PNG) and %.0f ms (JPEG)\n", pngDecode, jpegDecode);
    printFigures("a step of the scheduler (goal: none over 2 ms)", steps);
    const char* names[2] = {"8K PNG on screen 1", "4K JPEG on screen 2"};
    for (int i = 0; i < 2; ++i) {
        if (shownAt[i])
            std::printf("  %-58s %7.1f ms after due (goal: within 100 ms)\n", names[i], (*shownAt[i] - due) * 1000);
        else
            std::printf("  %-58s not shown\n", names[i]);
    }
}

} // namespace

int main(int argc, char** argv)
{
    runHeadless();
    MeasuringApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 60;
    QTemporaryDir folder;
    goLatency(folder);
    stillsAtOnce(app, folder);
    schedulerCost(app, folder, seconds > 0 ? seconds : 60);
    return 0;
}

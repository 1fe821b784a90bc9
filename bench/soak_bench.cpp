// Soak: a show of two timeline cues played in a loop for a long time, with video on two screens, timeline music,
// messages to loopback receivers and Art-Net lighting. Every 10 s it prints resident memory, open file descriptors
// and threads, the rounds played, and the messages sent against those received; at the end, the growth since the
// end of the second minute, when caches and pools have filled.
//   xvfb-run -a -s "-screen 0 1920x1080x24 -screen 1 1920x1080x24" build/bench/soak_bench [seconds, 1800 by default]
#include "audiochannelmixer.h"
#include "engine.h"
#include "loopbackreceiver.h"
#include "mallocgrowth.h"
#include "mediafixtures.h"
#include "screendisplayprovider.h"
#include "screenoutputwindow.h"
#include "screenoutputwindows.h"
#include "soundoutput.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kCues = 2;
constexpr int kMessagesPerCue = 3;
constexpr qint64 kSettledMs = 120 * 1000;

struct ProcessFigures
{
    double residentMb = 0;
    int descriptors = 0;
    int threads = 0;
    double cpuSeconds = 0;
};

ProcessFigures processFigures()
{
    ProcessFigures figures;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() >= 2 && words[0] == "VmRSS:")
                figures.residentMb = words[1].toDouble() / 1024;
            if (words.size() >= 2 && words[0] == "Threads:")
                figures.threads = words[1].toInt();
        }
    }
    figures.descriptors = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot).size());
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // utime and stime, the 14th and 15th fields, counted after the command name in parentheses.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            figures.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    return figures;
}

// Each message event has a receiver of its own, so that every send the engine reports names a different target.
Show soakShow(const std::vector<std::unique_ptr<LoopbackReceiver>>& receivers)
{
    VideoSpec clip;
    clip.size = {1280, 720};
    clip.seconds = 6;
    MediaAsset video;
    video.url = QUrl::fromLocalFile(MediaFixtures::video(clip));
    video.kind = AssetKind::video;
    video.duration = 6;
    MediaAsset music;
    music.url = QUrl::fromLocalFile(MediaFixtures::wav({.seconds = 6}));
    music.kind = AssetKind::audio;
    music.duration = 6;

    Show show;
    show.artNetHost = QStringLiteral("127.0.0.1");
    show.assets = QList<MediaAsset>{video, music};
    show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
    for (int c = 0; c < kCues; ++c) {
        Cue cue;
        cue.name = QStringLiteral("第 %1 场").arg(c + 1);
        cue.ending = EndBehavior::next;
        cue.lighting = Lighting{c + 1, 255, 1.0};
        QList<TimelineEvent> timeline;
        for (const Track track : {Track::main, Track::side, Track::music}) {
            TimelineEvent clip;
            clip.track = track;
            clip.assetID = track == Track::music ? music.id : video.id;
            timeline.append(clip);
        }
        for (int m = 0; m < kMessagesPerCue; ++m) {
            TimelineEvent message;
            message.track = Track::message;
            message.time = 1.0 + m;
            message.host = QStringLiteral("127.0.0.1");
            message.port = receivers[c * kMessagesPerCue + m]->port();
            message.payload = QStringLiteral("cue %1 message %2").arg(c + 1).arg(m + 1);
            timeline.append(message);
        }
        cue.timeline = timeline;
        show.cues.append(cue);
    }
    return show;
}

} // namespace

int main(int argc, char** argv)
{
    limitMallocGrowth();
    SoundOutput::shared().choose(SoundSink::silent);
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 1800;

    std::vector<std::unique_ptr<LoopbackReceiver>> receivers;
    for (int i = 0; i < kCues * kMessagesPerCue; ++i)
        receivers.push_back(std::make_unique<LoopbackReceiver>());
    LoopbackReceiver artNet;

    QTemporaryDir folder;
    Engine::Services services;
    services.artNetPort = artNet.port();
    const bool twoDisplays = QGuiApplication::screens().size() >= 2;
    if (twoDisplays) {
        services.displays = std::make_shared<ScreenDisplayProvider>();
        services.windows = std::make_shared<ScreenOutputWindows>();
    }
    Engine engine(true, std::make_shared<AudioChannelMixer>(), folder.path(), services);
    engine.setShow(soakShow(receivers));
    if (twoDisplays) {
        engine.bind(kScreen1, engine.displays().at(0).number);
        engine.bind(kScreen2, engine.displays().at(1).number);
    }

    qint64 sent = 0;
    qint64 failed = 0;
    qint64 received = 0;
    qint64 artNetPackets = 0;
    int cueStarts = 0;
    QObject::connect(&engine, &Engine::messageChanged, [&] {
        sent += engine.message().startsWith(QStringLiteral("消息已发送")) ? 1 : 0;
        failed += engine.message().startsWith(QStringLiteral("消息发送失败")) ? 1 : 0;
    });
    QObject::connect(&engine, &Engine::currentChanged, [&] { cueStarts += engine.current() ? 1 : 0; });
    QTimer drain;
    QObject::connect(&drain, &QTimer::timeout, [&] {
        for (const auto& receiver : receivers)
            received += qint64(receiver->drain().size());
        artNetPackets += qint64(artNet.drain().size());
    });
    drain.start(50);

    std::printf("soak: %d cues in a loop, video on %s, music, %d messages a cue, Art-Net; %.0f s\n", kCues,
                twoDisplays ? "two output windows" : "two screens' pictures (no second display)", kMessagesPerCue,
                seconds);
    std::printf("%8s %9s %6s %8s %7s %6s %9s %7s %8s %7s\n", "seconds", "RSS MB", "fds", "threads", "rounds", "sent",
                "received", "failed", "Art-Net", "CPU s");
    if (!engine.beginProjection(ProjectionMode::playlistLoop, std::nullopt)) {
        std::fprintf(stderr, "soak: the run was refused: %s\n", qPrintable(engine.message()));
        return 1;
    }

    QElapsedTimer clock;
    clock.start();
    std::optional<ProcessFigures> settled;
    ProcessFigures last;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        last = processFigures();
        const int rounds = cueStarts / kCues;
        if (!settled && clock.elapsed() >= kSettledMs)
            settled = last;
        std::printf("%8.0f %9.1f %6d %8d %7d %6lld %9lld %7lld %8lld %7.0f\n", clock.elapsed() / 1000.0,
                    last.residentMb, last.descriptors, last.threads, rounds, qlonglong(sent), qlonglong(received),
                    qlonglong(failed), qlonglong(artNetPackets), last.cpuSeconds);
        std::fflush(stdout);
    });
    report.start(10000);

    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    engine.stop(true);

    if (settled) {
        std::printf("growth since minute 2: memory %.1f MB to %.1f MB (%+.1f %%), descriptors %+d, threads %+d\n",
                    settled->residentMb, last.residentMb, (last.residentMb / settled->residentMb - 1) * 100,
                    last.descriptors - settled->descriptors, last.threads - settled->threads);
    }
    std::printf("messages: %lld sent, %lld received, %lld failed\n", qlonglong(sent), qlonglong(received),
                qlonglong(failed));
    std::printf("goal: from minute 2 on, memory growth under 5 %%, descriptors and threads flat, nothing lost\n");
    return 0;
}

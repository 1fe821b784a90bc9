// Figures for the media layer: CPU of playing 1080p30 H.264 through our player against gst-launch-1.0 playbin,
// load-to-ready and play-to-first-frame latency, and the audio tap's cost per buffer.
#include "audiochannelmixer.h"
#include "audiotap.h"
#include "gstplayer.h"
#include "meshvideofeed.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <gst/gst.h>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Sleeps in the event loop between checks, so that the harness itself costs next to no CPU.
void runEventsUntil(const std::function<bool()>& done, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(1);
    if (!done())
        loop.exec();
}

QString makeClip()
{
    const QString path = QDir::tempPath() + "/lumo-bench-1080p30-10s.mp4";
    if (QFileInfo::exists(path))
        return path;
    QProcess::execute("gst-launch-1.0",
                      QProcess::splitCommand("-q videotestsrc num-buffers=300 pattern=smpte horizontal-speed=8 ! "
                                             "video/x-raw,format=I420,width=1920,height=1080,framerate=30/1 ! "
                                             "x264enc speed-preset=veryfast bitrate=8000 key-int-max=60 ! mp4mux ! "
                                             "filesink location=" +
                                             path));
    return path;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void benchCpu(const QString& clip)
{
    double ours = 0;
    {
        GstPlayer player;
        player.load(QUrl::fromLocalFile(clip));
        runEventsUntil([&] { return player.isReady(); }, 10000);
        MeshVideoFeed feed(&player);
        int frames = 0;
        feed.add([&](const VideoFrame&) { ++frames; });
        bool ended = false;
        QObject::connect(&player, &Player::ended, [&] { ended = true; });
        const double before = cpuSeconds(RUSAGE_SELF);
        player.play();
        runEventsUntil([&] { return ended; }, 20000);
        ours = cpuSeconds(RUSAGE_SELF) - before;
        std::printf("our player, feed subscribed: %.2f s CPU for 10 s of video, %d frames delivered\n", ours, frames);
    }
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess::execute("gst-launch-1.0", {"-q", "playbin", "uri=" + QUrl::fromLocalFile(clip).toString(),
                                         "video-sink=fakesink sync=true", "audio-sink=fakesink sync=true"});
    const double reference = cpuSeconds(RUSAGE_CHILDREN) - before;
    std::printf("gst-launch-1.0 playbin, fake sinks: %.2f s CPU\n", reference);
    std::printf("ratio: %.3f (goal <= 1.15)\n", ours / reference);
}

void benchLatency(const QString& clip)
{
    std::vector<double> toReady;
    std::vector<double> toFirstFrame;
    std::vector<double> toNextFrame;
    GstPlayer player;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer clock;
        clock.start();
        player.load(QUrl::fromLocalFile(clip));
        runEventsUntil([&] { return player.isReady(); }, 10000);
        toReady.push_back(clock.nsecsElapsed() / 1e6);

        MeshVideoFeed feed(&player);
        std::vector<double> deliveries;
        clock.restart();
        player.play();
        const QUuid token = feed.add([&](const VideoFrame&) { deliveries.push_back(clock.nsecsElapsed() / 1e6); });
        runEventsUntil([&] { return deliveries.size() >= 2; }, 2000);
        feed.remove(token);
        if (deliveries.size() >= 2) {
            toFirstFrame.push_back(deliveries[0]);
            toNextFrame.push_back(deliveries[1]);
        }
        player.clear();
    }
    std::printf("load to ready (1080p H.264): median %.1f ms\n", median(toReady));
    std::printf("play on a prerolled player to the first frame from the feed: median %.3f ms (goal < 16.7)\n",
                median(toFirstFrame));
    std::printf("play to the second frame from the feed: median %.1f ms (the clip's second frame is at 33.3 ms)\n",
                median(toNextFrame));
}

void benchTap()
{
    AudioTap tap;
    tap.setChannels(2);
    tap.setMixer(std::make_shared<AudioChannelMixer>());
    constexpr int frames = 1024;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, frames * 2 * sizeof(float), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    auto* samples = reinterpret_cast<float*>(map.data);
    for (int i = 0; i < frames * 2; ++i)
        samples[i] = float(i % 200) / 400.0f;
    gst_buffer_unmap(buffer, &map);
    constexpr int rounds = 200000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i)
        tap.apply(&buffer);
    std::printf("audio tap per 1024-frame stereo buffer: %.3f us (goal < 5)\n", clock.nsecsElapsed() / 1e3 / rounds);
    gst_buffer_unref(buffer);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gst_init(nullptr, nullptr);
    const QString clip = makeClip();
    benchTap();
    benchLatency(clip);
    benchCpu(clip);
    return 0;
}

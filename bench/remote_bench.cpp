// Figures for the mobile remote over TCP: requests answered per second and reply latency with 16 phones asking at
// once (the conformance client on loopback, each phone from a loopback address of its own, so the per-address cap
// counts them as 16 phones), and the lateness of a running timeline's messages with and without them.
#include "benchtools.h"
#include "engine.h"
#include "remotehost.h"
#include "remotetcplistener.h"
#include "timelinelateness.h"

#include <QApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using namespace BenchTools;

// A timeline of one message every 20 ms for the given time; the lateness of each behind its due moment, in ms.
std::vector<double> timelineLateness(Engine& engine, double seconds, const std::function<void()>& meanwhile)
{
    TimelineLateness::ArrivalThread arrivals;
    const QList<TimelineEvent> events = TimelineLateness::messages(arrivals.port(), seconds);
    Show show = engine.show();
    show.cues[0].timeline = events;
    engine.setShow(show);
    const double origin = realtimeNow();
    engine.take(engine.show().cues[0]);
    meanwhile();
    runEventsUntil([] { return false; }, 500);
    engine.stop(true);
    return TimelineLateness::lateness(arrivals.stop(), events, origin);
}

struct Load
{
    QJsonObject figures;
    double mainThreadCpu = 0;

    void print(const char* what) const
    {
        const int answered = figures["answered"].toInt();
        std::printf("  %s: answered %d (%.1f per second), refused %d, failed %d\n", what, answered,
                    figures["perSecond"].toDouble(), figures["refused"].toInt(), figures["failed"].toInt());
        std::printf(
            "    reply latency at the client (connect to reply)   median %7.3f ms   p99 %7.3f ms   max %7.3f ms\n",
            figures["medianMs"].toDouble(), figures["p99Ms"].toDouble(), figures["maxMs"].toDouble());
        std::printf("    main-thread CPU %.2f s, %.1f us per request\n", mainThreadCpu,
                    mainThreadCpu * 1e6 / std::max(answered, 1));
    }
};

// The conformance client's load command, with the event loop turning meanwhile.
Load askFromClients(RemoteHost& host, quint16 port, int clients, double seconds, double rate)
{
    Load load;
    const double cpuBefore = threadCpuSeconds();
    QProcess client;
    client.start(QStringLiteral("python3"),
                 {QStringLiteral(LUMO_REMOTE_CLIENT), "--port", QString::number(port), "--code", host.code(), "load",
                  "--clients", QString::number(clients), "--seconds", QString::number(seconds), "--rate",
                  QString::number(rate), "--own-addresses"});
    runEventsUntil([&] { return client.state() == QProcess::NotRunning; }, int(seconds * 1000) + 30000);
    load.mainThreadCpu = threadCpuSeconds() - cpuBefore;
    load.figures = QJsonDocument::fromJson(client.readAllStandardOutput()).object();
    if (load.figures.isEmpty())
        std::printf("the client printed no figures: %s\n", client.readAllStandardError().constData());
    return load;
}

} // namespace

int main(int argc, char** argv)
{
    runHeadless();
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toDouble() : 10;
    const int clients = 16;

    QTemporaryDir folder;
    const std::unique_ptr<Engine> made = makeEngine(folder, false);
    Engine& engine = *made;
    RemoteHost host(&engine);
    RemoteTcpListener::Settings settings;
    settings.address = QHostAddress::LocalHost;
    settings.port = 0;
    auto listener = std::make_unique<RemoteTcpListener>(settings);
    RemoteTcpListener* tcp = listener.get();
    host.addTransport(std::move(listener));
    host.start(false);

    double quietCpu = 0;
    const std::vector<double> quiet = timelineLateness(engine, seconds, [&] {
        const double cpuBefore = threadCpuSeconds();
        runEventsUntil([] { return false; }, int(seconds * 1000));
        quietCpu = threadCpuSeconds() - cpuBefore;
    });

    // The 16 clients as fast as the replies come, then at a phone's pace: 10 requests a second each.
    Load flatOut;
    const std::vector<double> busy =
        timelineLateness(engine, seconds, [&] { flatOut = askFromClients(host, tcp->port(), clients, seconds, 0); });
    Load paced;
    const std::vector<double> steady =
        timelineLateness(engine, seconds, [&] { paced = askFromClients(host, tcp->port(), clients, seconds, 10); });

    std::printf("Remote over TCP on loopback: %d clients asking for the status for %.0f s while a timeline sends a "
                "message every 20 ms\n",
                clients, seconds);
    std::printf("  main-thread CPU without requests (the timeline alone): %.2f s\n", quietCpu);
    flatOut.print("as fast as replies come");
    paced.print("10 requests a second each");
    std::printf("Timeline message lateness behind its due time:\n");
    printFigures("without remote requests", quiet);
    printFigures("with the clients as fast as replies come", busy);
    printFigures("with the clients at 10 requests a second", steady);
    const double added = percentile(busy, 0.99) - percentile(quiet, 0.99);
    std::printf("Goals: lateness p99 with flat-out clients %+.3f ms over without (goal: within 2 ms) %s; reply p99 "
                "at 10 requests a second %.3f ms (goal: under 5 ms) %s; %.1f answers a second flat out\n",
                added, added <= 2 ? "met" : "MISSED", paced.figures["p99Ms"].toDouble(),
                paced.figures["p99Ms"].toDouble() < 5 ? "met" : "MISSED", flatOut.figures["perSecond"].toDouble());
    return 0;
}

// Figures for the wire outputs: the Art-Net cadence under main-thread load, and UDP message latency on loopback.
#include "benchtools.h"
#include "lightingoutput.h"
#include "timelinesender.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using BenchTools::realtimeNow;

// Receives on 127.0.0.1 in a thread of its own and keeps the kernel's arrival stamp of every datagram.
class ArrivalRecorder
{
  public:
    ArrivalRecorder()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        const int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        m_thread = std::thread([this] { run(); });
    }
    ~ArrivalRecorder()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }

    quint16 port() const { return m_port; }
    std::vector<double> arrivals()
    {
        const std::lock_guard lock(m_mutex);
        return m_arrivals;
    }
    size_t count()
    {
        const std::lock_guard lock(m_mutex);
        return m_arrivals.size();
    }

  private:
    void run()
    {
        char buffer[2048];
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        while (!m_stop) {
            pollfd ready{m_fd, POLLIN, 0};
            if (::poll(&ready, 1, 50) != 1)
                continue;
            iovec data{buffer, sizeof buffer};
            msghdr message{};
            message.msg_iov = &data;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            if (::recvmsg(m_fd, &message, 0) < 0)
                continue;
            double arrival = realtimeNow();
            for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
                if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
                    timespec stamp{};
                    std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
                    arrival = double(stamp.tv_sec) + double(stamp.tv_nsec) * 1e-9;
                }
            }
            const std::lock_guard lock(m_mutex);
            m_arrivals.push_back(arrival);
        }
    }

    int m_fd = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<double> m_arrivals;
    std::thread m_thread;
};

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const size_t rank = std::clamp<size_t>(size_t(fraction * double(values.size()) + 0.999999), 1, values.size());
    return values[rank - 1];
}

void busyFor(int milliseconds)
{
    QElapsedTimer spent;
    spent.start();
    while (spent.elapsed() < milliseconds) {
    }
}

enum class Load { none, backToBack, randomGaps };

const char* describe(Load load)
{
    switch (load) {
    case Load::none:
        return "idle main thread";
    case Load::backToBack:
        return "main thread busy with back-to-back 5 ms tasks";
    case Load::randomGaps:
        return "5 ms tasks with random 0-2 ms gaps";
    }
    return "";
}

void lightingCadence(int seconds, Load kind)
{
    ArrivalRecorder recorder;
    LightingOutput lights(LightingOutput::systemUptime, recorder.port());
    lights.startTicking();
    lights.configureLights(QStringLiteral("127.0.0.1"), 0);
    lights.applyLighting(Lighting{1, 255, double(seconds)}, QStringLiteral("127.0.0.1"), 0);

    // Back-to-back 5 ms tasks phase-lock with a 40 ms timer; random gaps between them break the lock.
    QTimer load;
    load.setSingleShot(kind == Load::randomGaps);
    load.setTimerType(Qt::PreciseTimer);
    std::mt19937 random(7);
    int tasks = 0;
    QObject::connect(&load, &QTimer::timeout, [&] {
        busyFor(5);
        ++tasks;
        if (kind == Load::randomGaps)
            load.start(std::uniform_int_distribution(0, 2)(random));
    });
    if (kind != Load::none)
        load.start(0);
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
    load.stop();

    const std::vector<double> arrivals = recorder.arrivals();
    if (arrivals.size() < 2) {
        std::printf("lighting cadence: too few packets (%zu)\n", arrivals.size());
        return;
    }
    std::vector<double> intervals;
    for (size_t i = 1; i < arrivals.size(); ++i)
        intervals.push_back((arrivals[i] - arrivals[i - 1]) * 1000);
    std::printf("lighting cadence, %d s, %s (%d load tasks): %zu packets, interval median %.2f ms, p99 %.2f ms, "
                "largest gap %.2f ms\n",
                seconds, describe(kind), tasks, arrivals.size(), percentile(intervals, 0.5),
                percentile(intervals, 0.99), percentile(intervals, 1.0));
}

void udpLatency(int messages)
{
    ArrivalRecorder recorder;
    TimelineSender sender;
    TimelineEvent event;
    event.track = Track::message;
    event.transport = Transport::udp;
    event.host = QStringLiteral("127.0.0.1");
    event.port = recorder.port();
    event.payload = QStringLiteral("GO 1");

    std::vector<double> latencies;
    for (int i = 0; i < messages; ++i) {
        const size_t before = recorder.count();
        bool reported = false;
        const double sentAt = realtimeNow();
        sender.send(event, [&](const std::optional<QString>&) { reported = true; });
        QElapsedTimer waited;
        waited.start();
        while ((!reported || recorder.count() == before) && waited.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const std::vector<double> arrivals = recorder.arrivals();
        if (arrivals.size() > before)
            latencies.push_back((arrivals.back() - sentAt) * 1000);
    }
    std::printf("UDP message, send() to arrival on loopback, %zu of %d: median %.3f ms, p99 %.3f ms, max %.3f ms\n",
                latencies.size(), messages, percentile(latencies, 0.5), percentile(latencies, 0.99),
                percentile(latencies, 1.0));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    lightingCadence(10, Load::backToBack);
    lightingCadence(10, Load::randomGaps);
    lightingCadence(5, Load::none);
    udpLatency(1000);
    return 0;
}

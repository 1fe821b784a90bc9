#pragma once

// A running timeline's messages as a receiver on the network sees them: one message every 20 ms to a loopback
// port, and each one's lateness behind its due moment, from the kernel's arrival stamps.
#include "benchtools.h"
#include "loopbackreceiver.h"
#include "timelineevent.h"

#include <QList>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace TimelineLateness {

// Collects datagrams off the main thread, with the kernel's arrival stamps. It collects them every 50 ms rather
// than wait on the socket, so that a send does not wake a reader on the sending thread's account.
class ArrivalThread
{
  public:
    ArrivalThread()
        : m_thread([this] {
              while (!m_stop) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
                  for (ReceivedDatagram& datagram : m_receiver.drain())
                      m_received.push_back(std::move(datagram));
              }
          })
    {
    }
    ~ArrivalThread() { stop(); }
    ArrivalThread(const ArrivalThread&) = delete;
    ArrivalThread& operator=(const ArrivalThread&) = delete;

    quint16 port() const { return m_receiver.port(); }
    // Every datagram that has arrived, once the thread has stopped.
    std::vector<ReceivedDatagram> stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
            for (ReceivedDatagram& datagram : m_receiver.drain())
                m_received.push_back(std::move(datagram));
        }
        return m_received;
    }

  private:
    LoopbackReceiver m_receiver;
    std::atomic<bool> m_stop = false;
    std::vector<ReceivedDatagram> m_received;
    std::thread m_thread;
};

// One message every 20 ms for the given time, each carrying its own index.
inline QList<TimelineEvent> messages(quint16 port, double seconds)
{
    QList<TimelineEvent> events;
    for (int i = 0; double(i) * 0.02 < seconds; ++i) {
        TimelineEvent event;
        event.time = double(i) * 0.02;
        event.track = Track::message;
        event.host = QStringLiteral("127.0.0.1");
        event.port = port;
        event.payload = QString::number(i);
        events.append(event);
    }
    return events;
}

// The lateness in ms of each message due from `from` seconds on, against a timeline started at `origin` (seconds on
// the clock of BenchTools::realtimeNow).
inline std::vector<double> lateness(const std::vector<ReceivedDatagram>& arrivals, const QList<TimelineEvent>& events,
                                    double origin, double from = 0)
{
    std::vector<double> late;
    for (const ReceivedDatagram& datagram : arrivals) {
        bool isIndex = false;
        const int index = datagram.bytes.toInt(&isIndex);
        if (isIndex && index >= 0 && index < events.size() && events[index].time >= from)
            late.push_back((datagram.arrival - origin - events[index].time) * 1000);
    }
    return late;
}

} // namespace TimelineLateness

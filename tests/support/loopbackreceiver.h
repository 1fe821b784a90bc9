#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>
#include <vector>

struct ReceivedDatagram
{
    QByteArray bytes;
    double arrival = 0; // seconds, stamped by the kernel on receipt
};

// A UDP socket on 127.0.0.1 with a port of the system's choice; reads without the Qt event loop.
class LoopbackReceiver
{
  public:
    LoopbackReceiver();
    ~LoopbackReceiver();
    LoopbackReceiver(const LoopbackReceiver&) = delete;
    LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;

    quint16 port() const { return m_port; }
    std::optional<ReceivedDatagram> receive(int timeoutMilliseconds);
    // Everything queued now, without waiting.
    std::vector<ReceivedDatagram> drain();

  private:
    int m_fd = -1;
    quint16 m_port = 0;
};

// A loopback port with nothing bound to it at the moment of asking.
quint16 freeLoopbackUdpPort();

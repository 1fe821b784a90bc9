#pragma once

#include <QString>
#include <QtGlobal>
#include <array>
#include <netinet/in.h>
#include <variant>

// One DMX universe; index 0 is channel 1. A fixed size, so a short frame cannot be sent.
using DmxFrame = std::array<quint8, 512>;

// Why no Art-Net sender could be made.
struct ArtNetFailure
{
    enum class Kind { invalidAddress, socket };
    Kind kind = Kind::invalidAddress;
    QString reason; // the system's text for a socket failure
};

// Sends ArtDmx packets to one node over a UDP socket that may also address a broadcast address.
class ArtNet final
{
  public:
    static constexpr quint16 kPort = 6454;
    static constexpr int kPacketSize = 18 + int(std::tuple_size_v<DmxFrame>);

    // A sender for a node given in dotted IPv4 form; the port is only changed by tests.
    static std::variant<ArtNet, ArtNetFailure> open(const QString& host, quint16 port = kPort);

    ArtNet(ArtNet&& other) noexcept;
    ArtNet& operator=(ArtNet&& other) noexcept;
    ArtNet(const ArtNet&) = delete;
    ArtNet& operator=(const ArtNet&) = delete;
    ~ArtNet();

    // One packet with the next sequence number; true when the whole packet went out in one datagram.
    bool send(const DmxFrame& frame, qint64 universe);

    quint8 sequence() const { return m_sequence; }

  private:
    ArtNet(int socketFD, const sockaddr_in& destination);

    int m_socketFD = -1;
    sockaddr_in m_destination{};
    quint8 m_sequence = 0;
};

#include "artnet.h"

#include "fileerrortext.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

std::array<char, ArtNet::kPacketSize> artDmxPacket(const DmxFrame& frame, quint8 sequence, qint64 universe)
{
    const auto clamped = quint16(std::clamp<qint64>(universe, 0, 32767));
    std::array<char, ArtNet::kPacketSize> packet{};
    std::memcpy(packet.data(), "Art-Net\0", 8);
    packet[8] = 0x00; // OpCode 0x5000, low byte first
    packet[9] = 0x50;
    packet[10] = 0x00; // protocol version 14, high byte first
    packet[11] = 0x0E;
    packet[12] = char(sequence);
    packet[13] = 0; // physical port
    packet[14] = char(clamped & 0xFF);
    packet[15] = char(clamped >> 8);
    packet[16] = 0x02; // length 512, high byte first
    packet[17] = 0x00;
    std::memcpy(packet.data() + 18, frame.data(), frame.size());
    return packet;
}

} // namespace

std::variant<ArtNet, ArtNetFailure> ArtNet::open(const QString& host, quint16 port)
{
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    // The text ends at its own end, not at a NUL inside it that the parser would stop at.
    if (host.contains(QChar(u'\0')) || inet_pton(AF_INET, host.toUtf8().constData(), &destination.sin_addr) != 1)
        return ArtNetFailure{ArtNetFailure::Kind::invalidAddress, {}};

    // Non-blocking, so a full send buffer costs one packet instead of stalling the main thread.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return ArtNetFailure{ArtNetFailure::Kind::socket, fileErrorText(errno)};
    const int allow = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &allow, sizeof allow);
    return ArtNet(fd, destination);
}

ArtNet::ArtNet(int socketFD, const sockaddr_in& destination) : m_socketFD(socketFD), m_destination(destination) {}

ArtNet::ArtNet(ArtNet&& other) noexcept
    : m_socketFD(std::exchange(other.m_socketFD, -1)), m_destination(other.m_destination), m_sequence(other.m_sequence)
{
}

ArtNet& ArtNet::operator=(ArtNet&& other) noexcept
{
    if (this == &other)
        return *this;
    if (m_socketFD >= 0)
        ::close(m_socketFD);
    m_socketFD = std::exchange(other.m_socketFD, -1);
    m_destination = other.m_destination;
    m_sequence = other.m_sequence;
    return *this;
}

ArtNet::~ArtNet()
{
    if (m_socketFD >= 0)
        ::close(m_socketFD);
}

bool ArtNet::send(const DmxFrame& frame, qint64 universe)
{
    m_sequence = m_sequence == 255 ? 1 : m_sequence + 1;
    const auto packet = artDmxPacket(frame, m_sequence, universe);
    const ssize_t sent = ::sendto(m_socketFD, packet.data(), packet.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&m_destination), sizeof m_destination);
    return sent == ssize_t(packet.size());
}

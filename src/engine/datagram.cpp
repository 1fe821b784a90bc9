#include "datagram.h"

#include "fileerrortext.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString lastError()
{
    return fileErrorText(errno);
}

} // namespace

std::optional<QString> sendDatagram(const QHostAddress& address, quint16 port, const QByteArray& bytes)
{
    sockaddr_storage destination{};
    socklen_t length = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* ipv4 = reinterpret_cast<sockaddr_in*>(&destination);
        ipv4->sin_family = AF_INET;
        ipv4->sin_port = htons(port);
        ipv4->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof(sockaddr_in);
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&destination);
        ipv6->sin6_family = AF_INET6;
        ipv6->sin6_port = htons(port);
        const Q_IPV6ADDR raw = address.toIPv6Address();
        std::memcpy(&ipv6->sin6_addr, raw.c, sizeof raw.c);
        length = sizeof(sockaddr_in6);
    } else {
        return QStringLiteral("Unsupported address");
    }

    // Non-blocking: a full send buffer fails this one message rather than stall the main thread.
    const int fd = ::socket(destination.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        return lastError();
    const int allow = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &allow, sizeof allow);
    const ssize_t sent = ::sendto(fd, bytes.constData(), size_t(bytes.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&destination), length);
    std::optional<QString> error;
    if (sent < 0)
        error = lastError();
    else if (sent != bytes.size())
        error = QStringLiteral("Datagram was truncated");
    ::close(fd);
    return error;
}

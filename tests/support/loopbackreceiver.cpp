#include "loopbackreceiver.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int boundLoopbackSocket(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("no UDP socket for the loopback receiver");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot bind the loopback receiver");
    }
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

LoopbackReceiver::LoopbackReceiver()
{
    m_fd = boundLoopbackSocket(&m_port);
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    const int buffer = 4 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
}

LoopbackReceiver::~LoopbackReceiver()
{
    ::close(m_fd);
}

std::optional<ReceivedDatagram> LoopbackReceiver::receive(int timeoutMilliseconds)
{
    pollfd ready{m_fd, POLLIN, 0};
    if (::poll(&ready, 1, timeoutMilliseconds) != 1)
        return std::nullopt;
    QByteArray bytes(65536, Qt::Uninitialized);
    iovec data{bytes.data(), size_t(bytes.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t length = ::recvmsg(m_fd, &message, MSG_DONTWAIT);
    if (length < 0)
        return std::nullopt;
    bytes.truncate(length);
    ReceivedDatagram datagram{bytes, 0};
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_TIMESTAMPNS) {
            timespec stamp{};
            std::memcpy(&stamp, CMSG_DATA(header), sizeof stamp);
            datagram.arrival = double(stamp.tv_sec) + double(stamp.tv_nsec) * 1e-9;
        }
    }
    return datagram;
}

std::vector<ReceivedDatagram> LoopbackReceiver::drain()
{
    std::vector<ReceivedDatagram> datagrams;
    while (auto datagram = receive(0))
        datagrams.push_back(*datagram);
    return datagrams;
}

quint16 freeLoopbackUdpPort()
{
    quint16 port = 0;
    ::close(boundLoopbackSocket(&port));
    return port;
}

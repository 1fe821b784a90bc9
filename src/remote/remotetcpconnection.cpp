#include "remotetcpconnection.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

// A draining phone gets this many reads a turn, so one that sends flat out cannot keep the thread to itself.
constexpr int kDrainReadsPerTurn = 16;

} // namespace

RemoteTcpConnection::RemoteTcpConnection(qintptr descriptor, RemotePeer peer, quint64 serial, Timing timing,
                                         QObject* parent)
    : QObject(parent), m_descriptor(int(descriptor)), m_peer(std::move(peer)), m_serial(serial), m_timing(timing),
      m_readable(descriptor, QSocketNotifier::Read), m_writable(descriptor, QSocketNotifier::Write)
{
    ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
    m_writable.setEnabled(false);
    connect(&m_readable, &QSocketNotifier::activated, this, &RemoteTcpConnection::readable);
    connect(&m_writable, &QSocketNotifier::activated, this, &RemoteTcpConnection::sendRest);
    m_lifetime.setSingleShot(true);
    m_firstByte.setSingleShot(true);
    connect(&m_lifetime, &QTimer::timeout, this, &RemoteTcpConnection::close);
    connect(&m_firstByte, &QTimer::timeout, this, &RemoteTcpConnection::firstByteDue);
    m_lifetime.start(timing.lifetimeMs);
    m_firstByte.start(timing.firstByteMs);
}

RemoteTcpConnection::~RemoteTcpConnection()
{
    m_readable.setEnabled(false);
    m_writable.setEnabled(false);
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

void RemoteTcpConnection::close()
{
    if (m_state == State::closed)
        return;
    m_state = State::closed;
    m_lifetime.stop();
    m_firstByte.stop();
    m_readable.setEnabled(false);
    m_writable.setEnabled(false);
    // The owner counts it gone before the phone can see it gone.
    emit closed();
    ::close(std::exchange(m_descriptor, -1));
}

void RemoteTcpConnection::readable()
{
    if (m_state == State::reading)
        return readRequest();
    if (m_state == State::draining)
        return drain();
    // Asking: the phone's further bytes wait in the system until the reply is out.
    m_readable.setEnabled(false);
}

void RemoteTcpConnection::readRequest()
{
    char piece[kLargestPiece];
    while (m_state == State::reading) {
        const ssize_t got = ::recv(m_descriptor, piece, sizeof piece, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && wouldBlock())
            return;
        // The end of the stream or an error before the line feed.
        if (got <= 0)
            return close();
        m_heardFrom = true;
        const qsizetype before = m_buffer.size();
        m_buffer.append(piece, got);
        const qsizetype end = m_buffer.indexOf('\n', before);
        if (end >= 0 && end <= kLongestRequest) {
            m_state = State::asking;
            m_firstByte.stop();
            m_readable.setEnabled(false);
            const QByteArray request = std::exchange(m_buffer, {}).left(end);
            emit requested(request);
            return;
        }
        if (m_buffer.size() >= kLongestRequest)
            return close();
    }
}

void RemoteTcpConnection::reply(const QByteArray& reply)
{
    if (m_state != State::asking)
        return;
    m_state = State::draining;
    m_unsent = reply + '\n';
    if (m_lifetime.remainingTime() > m_timing.drainMs)
        m_lifetime.start(m_timing.drainMs);
    emit replied();
    if (m_state != State::draining)
        return;
    m_readable.setEnabled(true);
    sendRest();
}

void RemoteTcpConnection::sendRest()
{
    while (m_state == State::draining && !m_unsent.isEmpty()) {
        const ssize_t sent = ::send(m_descriptor, m_unsent.constData(), size_t(m_unsent.size()), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && wouldBlock()) {
            m_writable.setEnabled(true);
            return;
        }
        // A send error: closed all the same.
        if (sent < 0)
            return close();
        m_unsent.remove(0, sent);
    }
    if (m_state != State::draining)
        return;
    m_writable.setEnabled(false);
    if (m_phoneDone)
        return close();
    // Only our sending side ends here. Closing outright while the phone's further bytes sit unread would reset the
    // connection, and a reset can throw the reply away at the phone before it reads it: those bytes are drained
    // unread until the phone closes or the drain time runs out.
    ::shutdown(m_descriptor, SHUT_WR);
    drain();
}

void RemoteTcpConnection::drain()
{
    char unread[4096];
    for (int reads = 0; m_state == State::draining && reads < kDrainReadsPerTurn; ++reads) {
        const ssize_t got = ::recv(m_descriptor, unread, sizeof unread, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && wouldBlock())
            return;
        if (got < 0)
            return close();
        if (got == 0) {
            // The phone is done sending; it may still be reading the rest of the reply.
            m_phoneDone = true;
            m_readable.setEnabled(false);
            if (m_unsent.isEmpty())
                close();
            return;
        }
    }
}

// A last look before giving up: the byte may have arrived while the thread was busy.
void RemoteTcpConnection::firstByteDue()
{
    if (m_state != State::reading || m_heardFrom)
        return;
    readRequest();
    if (m_state == State::reading && !m_heardFrom)
        close();
}

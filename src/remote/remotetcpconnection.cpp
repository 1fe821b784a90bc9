#include "remotetcpconnection.h"

#include <QPointer>
#include <QTcpSocket>
#include <sys/socket.h>

RemoteTcpConnection::RemoteTcpConnection(QTcpSocket* socket, RemotePeer peer, quint64 serial, Timing timing,
                                         Responder responder, QObject* parent)
    : QObject(parent), m_socket(socket), m_peer(std::move(peer)), m_serial(serial), m_responder(std::move(responder))
{
    m_socket->setParent(this);
    // Qt reads ahead only this far, so a phone cannot make the console hold more than one piece unasked.
    m_socket->setReadBufferSize(kLargestPiece);
    connect(m_socket, &QTcpSocket::readyRead, this, &RemoteTcpConnection::readIncoming);
    connect(m_socket, &QTcpSocket::disconnected, this, &RemoteTcpConnection::close);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this] {
        if (m_state == State::reading)
            close();
    });
    m_lifetime.setSingleShot(true);
    m_firstByte.setSingleShot(true);
    connect(&m_lifetime, &QTimer::timeout, this, &RemoteTcpConnection::close);
    connect(&m_firstByte, &QTimer::timeout, this, &RemoteTcpConnection::firstByteDue);
    m_lifetime.start(timing.lifetimeMs);
    m_firstByte.start(timing.firstByteMs);
    readIncoming();
}

void RemoteTcpConnection::close()
{
    if (m_state == State::closed)
        return;
    m_state = State::closed;
    m_lifetime.stop();
    m_firstByte.stop();
    m_socket->disconnect(this);
    m_socket->abort();
    emit closed();
}

void RemoteTcpConnection::readIncoming()
{
    if (m_state == State::answering)
        return drainUnread();
    while (m_state == State::reading && m_socket->bytesAvailable() > 0) {
        m_heardFrom = true;
        const qsizetype before = m_buffer.size();
        m_buffer += m_socket->read(kLargestPiece);
        const qsizetype end = m_buffer.indexOf('\n', before);
        if (end >= 0 && end <= kLongestRequest)
            return answer(m_buffer.left(end));
        if (m_buffer.size() >= kLongestRequest)
            return close();
    }
    if (m_state == State::reading && m_socket->state() != QAbstractSocket::ConnectedState)
        close();
}

void RemoteTcpConnection::answer(const QByteArray& request)
{
    m_state = State::answering;
    m_firstByte.stop();
    m_buffer.clear();
    const QPointer<RemoteTcpConnection> alive(this);
    const QByteArray reply = m_responder(request, m_peer) + '\n';
    // The host may have switched the remote off while it answered.
    if (!alive || m_state != State::answering)
        return;
    m_socket->write(reply);
    // Handed to the system at once, so a phone that closed its sending side still gets the reply.
    m_socket->flush();
    if (m_socket->bytesToWrite() > 0) {
        m_socket->disconnectFromHost();
        return;
    }
    // Only our sending side ends here. Closing outright while the phone's further bytes sit unread would reset the
    // connection, and a reset can throw the reply away at the phone before it reads it: those bytes are drained
    // unread until the phone closes or the lifetime runs out.
    ::shutdown(int(m_socket->socketDescriptor()), SHUT_WR);
    if (m_lifetime.remainingTime() > kLongestDrainMs)
        m_lifetime.start(kLongestDrainMs);
    drainUnread();
}

void RemoteTcpConnection::drainUnread()
{
    if (m_state != State::answering)
        return;
    while (m_socket->bytesAvailable() > 0)
        m_socket->skip(m_socket->bytesAvailable());
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        close();
}

// A last look before giving up: the byte may have arrived while the event loop was busy.
void RemoteTcpConnection::firstByteDue()
{
    if (m_state != State::reading || m_heardFrom)
        return;
    m_socket->waitForReadyRead(0);
    readIncoming();
    if (m_state == State::reading && !m_heardFrom)
        close();
}

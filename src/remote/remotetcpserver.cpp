#include "remotetcpserver.h"

#include "fileerrortext.h"

#include <QHash>
#include <QTcpServer>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

// Hands on the bare descriptor of each accepted socket.
class RemoteTcpServer::Acceptor : public QTcpServer
{
  public:
    Acceptor(std::function<void(qintptr)> accepted, QObject* parent)
        : QTcpServer(parent), m_accepted(std::move(accepted))
    {
    }

  protected:
    void incomingConnection(qintptr descriptor) override { m_accepted(descriptor); }

  private:
    std::function<void(qintptr)> m_accepted;
};

// How often a server out of descriptors looks whether it can accept again.
static constexpr int kAcceptRetryMs = 1000;

RemoteTcpServer::RemoteTcpServer(Limits limits, QObject* parent) : QObject(parent), m_limits(limits) {}

RemoteTcpServer::~RemoteTcpServer() = default;

RemotePeer RemoteTcpServer::peerOf(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    const QHostAddress plain = mapped ? QHostAddress(v4) : address;
    return {RemotePeer::Link::network, plain.toString()};
}

static QHostAddress peerAddress(qintptr descriptor)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return {};
    return QHostAddress(reinterpret_cast<const sockaddr*>(&address));
}

RemoteTcpServer::Listening RemoteTcpServer::listen(const QHostAddress& address, quint16 port)
{
    if (m_acceptor)
        return {m_acceptor->isListening(), m_acceptor->serverPort(), m_acceptor->errorString()};
    m_acceptor = makeAcceptor();
    if (!m_acceptor->listen(address, port))
        return {false, port, m_acceptor->errorString()};
    return {true, m_acceptor->serverPort(), {}};
}

RemoteTcpServer::Acceptor* RemoteTcpServer::makeAcceptor()
{
    auto* acceptor = new Acceptor([this](qintptr descriptor) { admit(descriptor); }, this);
    connect(acceptor, &QTcpServer::acceptError, this, &RemoteTcpServer::acceptError);
    return acceptor;
}

void RemoteTcpServer::acceptError(QAbstractSocket::SocketError error)
{
    if (error != QAbstractSocket::SocketResourceError) {
        emit acceptFailed(QStringLiteral("无法接受连接：") + m_acceptor->errorString());
        return;
    }
    emit acceptFailed(QStringLiteral("无法接受连接：") + fileErrorText(EMFILE));
    acceptAgainWhenDescriptorsAreFree();
}

// Out of descriptors, the acceptor has stopped for good (its socket engine keeps the error), and phones wait in the
// backlog. Once a descriptor can be made again, a fresh acceptor takes over the same listening socket.
void RemoteTcpServer::acceptAgainWhenDescriptorsAreFree()
{
    QTimer::singleShot(kAcceptRetryMs, this, [this] {
        if (!m_acceptor)
            return;
        const int listening = ::fcntl(int(m_acceptor->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
        if (listening < 0)
            return acceptAgainWhenDescriptorsAreFree();
        Acceptor* fresh = makeAcceptor();
        if (!fresh->setSocketDescriptor(listening)) {
            ::close(listening);
            delete fresh;
            return acceptAgainWhenDescriptorsAreFree();
        }
        delete std::exchange(m_acceptor, fresh);
        emit acceptResumed();
    });
}

void RemoteTcpServer::admit(qintptr descriptor)
{
    const RemotePeer peer = peerOf(peerAddress(descriptor));
    const auto fromPeer = [&](const RemoteTcpConnection* open) { return open->peer() == peer; };
    if (std::count_if(m_open.cbegin(), m_open.cend(), fromPeer) >= m_limits.mostPerPeer ||
        (m_open.size() >= m_limits.mostConnections && !makeRoom())) {
        ::close(int(descriptor));
        return;
    }
    auto* connection = new RemoteTcpConnection(descriptor, peer, ++m_admitted, m_limits.timing, this);
    m_open.append(connection);
    connect(connection, &RemoteTcpConnection::requested, this, [this, connection](const QByteArray& request) {
        emit requested(connection->serial(), RemoteRequest::decode(request), connection->peer());
    });
    connect(connection, &RemoteTcpConnection::replied, this, [this, connection] { drainAfterReply(connection); });
    connect(connection, &RemoteTcpConnection::closed, this, [this, connection] { forget(connection); });
    count();
}

void RemoteTcpServer::answer(quint64 serial, const RemoteStatus& status)
{
    const auto asked = std::find_if(m_open.cbegin(), m_open.cend(),
                                    [&](const RemoteTcpConnection* open) { return open->serial() == serial; });
    if (asked != m_open.cend())
        (*asked)->reply(status.encode());
}

// One address holding many idle connections would otherwise lock every phone out: the peer holding the most gives
// up its oldest connection that is still waiting for its request.
bool RemoteTcpServer::makeRoom()
{
    QHash<RemotePeer, int> held;
    for (const RemoteTcpConnection* open : std::as_const(m_open))
        ++held[open->peer()];
    RemoteTcpConnection* chosen = nullptr;
    for (RemoteTcpConnection* open : std::as_const(m_open)) {
        if (!open->waiting())
            continue;
        if (!chosen || held[open->peer()] > held[chosen->peer()] ||
            (held[open->peer()] == held[chosen->peer()] && open->serial() < chosen->serial()))
            chosen = open;
    }
    if (!chosen)
        return false;
    chosen->close();
    return true;
}

// Its reply is out, so its place is free for the next phone; it stays open only so that the phone's further bytes
// are not answered with a reset that could throw the reply away.
void RemoteTcpServer::drainAfterReply(RemoteTcpConnection* connection)
{
    m_open.removeOne(connection);
    m_draining.append(connection);
    while (m_draining.size() > m_limits.mostDraining)
        m_draining.constFirst()->close();
    count();
}

void RemoteTcpServer::forget(RemoteTcpConnection* connection)
{
    m_open.removeOne(connection);
    m_draining.removeOne(connection);
    connection->deleteLater();
    count();
}

void RemoteTcpServer::count()
{
    m_openCount = int(m_open.size());
    m_drainingCount = int(m_draining.size());
}

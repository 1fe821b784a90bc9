#include "remotetcplistener.h"

#include "remoteannouncer.h"
#include "remotehost.h"

#include <QHash>
#include <QSysInfo>
#include <QTcpSocket>

RemoteTcpListener::RemoteTcpListener(Settings settings, std::unique_ptr<RemoteAnnouncer> announcer, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_announcer(std::move(announcer))
{
    if (!m_settings.peerOf)
        m_settings.peerOf = [](const QTcpSocket& socket) { return peerOf(socket.peerAddress()); };
    connect(&m_server, &QTcpServer::newConnection, this, &RemoteTcpListener::admitPending);
    connect(&m_server, &QTcpServer::acceptError, this, [this] {
        m_listenError = QStringLiteral("无法接受连接：") + m_server.errorString();
        showState();
    });
    if (m_announcer)
        connect(m_announcer.get(), &RemoteAnnouncer::stateChanged, this, &RemoteTcpListener::showState);
}

RemoteTcpListener::~RemoteTcpListener()
{
    stop();
}

RemotePeer RemoteTcpListener::peerOf(const QHostAddress& address)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    const QHostAddress plain = mapped ? QHostAddress(v4) : address;
    return {RemotePeer::Link::network, plain.toString()};
}

void RemoteTcpListener::start(RemoteHost& host)
{
    stop();
    m_host = &host;
    m_listenError.clear();
    if (!m_server.listen(m_settings.address, m_settings.port)) {
        m_listenError = QStringLiteral("无法在端口 %1 上监听：%2").arg(m_settings.port).arg(m_server.errorString());
    } else if (m_announcer) {
        const QString name = QSysInfo::machineHostName();
        m_announcer->publish(name.isEmpty() ? QStringLiteral("Lumoria") : name, port());
    }
    showState();
}

void RemoteTcpListener::stop()
{
    if (m_announcer)
        m_announcer->withdraw();
    m_server.close();
    const QList<RemoteTcpConnection*> open = std::exchange(m_connections, {});
    for (RemoteTcpConnection* connection : open) {
        connection->disconnect(this);
        connection->close();
        connection->deleteLater();
    }
    m_host = nullptr;
}

void RemoteTcpListener::admitPending()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection())
        admit(socket);
}

void RemoteTcpListener::admit(QTcpSocket* socket)
{
    const RemotePeer peer = m_settings.peerOf(*socket);
    const auto fromPeer = [&](const RemoteTcpConnection* open) { return open->peer() == peer; };
    const bool peerFull =
        std::count_if(m_connections.cbegin(), m_connections.cend(), fromPeer) >= m_settings.mostPerPeer;
    if (!m_host || !m_host->enabled() || peerFull ||
        (m_connections.size() >= m_settings.mostConnections && !makeRoom())) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    const QPointer<RemoteHost> host = m_host;
    auto* connection = new RemoteTcpConnection(
        socket, peer, ++m_admitted, m_settings.timing,
        [host](const QByteArray& request, const RemotePeer& from) {
            return host ? host->reply(request, from) : QByteArray();
        },
        this);
    m_connections.append(connection);
    connect(connection, &RemoteTcpConnection::closed, this, [this, connection] {
        m_connections.removeOne(connection);
        connection->deleteLater();
    });
    // It may have been over before it was listed: a phone that connected, wrote and closed at once.
    if (connection->isClosed()) {
        m_connections.removeOne(connection);
        connection->deleteLater();
    }
}

// One address holding many idle connections would otherwise lock every phone out: the peer holding the most gives
// up its oldest connection that is still waiting for its request.
bool RemoteTcpListener::makeRoom()
{
    QHash<RemotePeer, int> held;
    for (const RemoteTcpConnection* open : std::as_const(m_connections))
        ++held[open->peer()];
    RemoteTcpConnection* chosen = nullptr;
    for (RemoteTcpConnection* open : std::as_const(m_connections)) {
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

void RemoteTcpListener::showState()
{
    if (!m_host)
        return;
    if (!m_listenError.isEmpty())
        return m_host->setLan(m_listenError);
    if (m_server.isListening())
        m_host->setLan(m_announcer ? m_announcer->statusText() : QSysInfo::machineHostName());
}

#include "remotetcplistener.h"

#include "remoteannouncer.h"
#include "remotehost.h"

#include <QSysInfo>

RemoteTcpListener::RemoteTcpListener(Settings settings, std::unique_ptr<RemoteAnnouncer> announcer, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_announcer(std::move(announcer))
{
    m_network.setObjectName(QStringLiteral("remote network"));
    if (m_announcer)
        connect(m_announcer.get(), &RemoteAnnouncer::stateChanged, this, &RemoteTcpListener::showState);
}

RemoteTcpListener::~RemoteTcpListener()
{
    stop();
    m_network.quit();
    m_network.wait();
}

void RemoteTcpListener::start(RemoteHost& host)
{
    stop();
    m_host = &host;
    m_listenError.clear();
    if (!m_network.isRunning())
        m_network.start();
    m_server = new RemoteTcpServer(m_settings.limits);
    m_server->moveToThread(&m_network);
    const quint64 generation = m_generation;
    connect(
        m_server, &RemoteTcpServer::requested, this,
        [this, generation](quint64 connection, const std::optional<RemoteRequest>& request, const RemotePeer& peer) {
            if (generation == m_generation)
                answer(connection, request, peer);
        },
        Qt::QueuedConnection);
    connect(
        m_server, &RemoteTcpServer::acceptFailed, this,
        [this, generation](const QString& text) {
            if (generation != m_generation)
                return;
            m_listenError = text;
            showState();
        },
        Qt::QueuedConnection);
    connect(
        m_server, &RemoteTcpServer::acceptResumed, this,
        [this, generation] {
            if (generation != m_generation)
                return;
            m_listenError.clear();
            showState();
        },
        Qt::QueuedConnection);
    RemoteTcpServer::Listening listening;
    QMetaObject::invokeMethod(
        m_server, [&] { listening = m_server->listen(m_settings.address, m_settings.port); },
        Qt::BlockingQueuedConnection);
    m_listening = listening.ok;
    m_port = listening.port;
    if (!listening.ok) {
        m_listenError = QStringLiteral("无法在端口 %1 上监听：%2").arg(m_settings.port).arg(listening.error);
    } else if (m_announcer) {
        const QString name = QSysInfo::machineHostName();
        m_announcer->publish(name.isEmpty() ? QStringLiteral("Lumoria") : name, m_port);
    }
    showState();
}

void RemoteTcpListener::stop()
{
    ++m_generation;
    if (m_announcer)
        m_announcer->withdraw();
    // Deleted on its own thread, where its sockets live; with it every connection closes.
    if (RemoteTcpServer* server = std::exchange(m_server, nullptr))
        QMetaObject::invokeMethod(
            server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    m_listening = false;
    m_host = nullptr;
}

void RemoteTcpListener::answer(quint64 connection, const std::optional<RemoteRequest>& request, const RemotePeer& peer)
{
    if (!m_host || !m_server)
        return;
    const RemoteStatus status = m_host->answer(request, peer);
    RemoteTcpServer* server = m_server;
    QMetaObject::invokeMethod(server, [server, connection, status] { server->answer(connection, status); });
}

void RemoteTcpListener::showState()
{
    if (!m_host)
        return;
    if (!m_listenError.isEmpty())
        return m_host->setLan(m_listenError);
    if (m_listening)
        m_host->setLan(m_announcer ? m_announcer->statusText() : QSysInfo::machineHostName());
}

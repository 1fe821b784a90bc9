#pragma once

#include "remoteannouncer.h"
#include "remotetcpserver.h"
#include "remotetransport.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <memory>

// The network way in: a TCP listener that serves one request per connection and, with an announcer, advertises
// itself so phones find this computer by name. The sockets are served on a network thread of its own
// (RemoteTcpServer); only decoded requests reach the host here on the main thread, where the engine lives, and only
// their replies go back. Its state is the host's lan text: the host name once it listens, or why it cannot.
class RemoteTcpListener : public QObject, public RemoteTransport
{
    Q_OBJECT
  public:
    struct Settings
    {
        QHostAddress address = QHostAddress::Any;
        quint16 port = 49376;
        RemoteTcpServer::Limits limits;
    };

    explicit RemoteTcpListener(Settings settings, std::unique_ptr<RemoteAnnouncer> announcer = nullptr,
                               QObject* parent = nullptr);
    ~RemoteTcpListener() override;

    RemotePeer::Link link() const override { return RemotePeer::Link::network; }
    void start(RemoteHost& host) override;
    void stop() override;

    bool isListening() const { return m_listening; }
    // The port it listens on (the one chosen by the system when the settings ask for 0).
    quint16 port() const { return m_port; }
    // Connections reading their request or waiting for its reply; each holds one of the places.
    int openConnections() const { return m_server ? m_server->openConnections() : 0; }
    // Answered connections that only drain what their phone sends on.
    int drainingConnections() const { return m_server ? m_server->drainingConnections() : 0; }
    RemoteAnnouncer* announcer() const { return m_announcer.get(); }

  private:
    void answer(quint64 connection, const std::optional<RemoteRequest>& request, const RemotePeer& peer);
    void showState();

    Settings m_settings;
    std::unique_ptr<RemoteAnnouncer> m_announcer;
    QThread m_network;
    // Lives on the network thread; made by start, deleted there by stop.
    RemoteTcpServer* m_server = nullptr;
    QPointer<RemoteHost> m_host;
    bool m_listening = false;
    quint16 m_port = 0;
    QString m_listenError;
    // Moves on at every start and stop, so requests of an earlier server that are still queued are dropped.
    quint64 m_generation = 0;
};

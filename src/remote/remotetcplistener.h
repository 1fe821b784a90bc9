#pragma once

#include "remoteannouncer.h"
#include "remotetcpconnection.h"
#include "remotetransport.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <functional>
#include <memory>

class QTcpSocket;

// The network way in: a TCP listener that serves one request per connection (RemoteTcpConnection), admits at most
// 16 connections and 4 per address, and, with an announcer, advertises itself so phones find this computer by
// name. Its state is the host's lan text: the host name once it listens, or why it cannot.
class RemoteTcpListener : public QObject, public RemoteTransport
{
    Q_OBJECT
  public:
    struct Settings
    {
        QHostAddress address = QHostAddress::Any;
        quint16 port = 49376;
        RemoteTcpConnection::Timing timing;
        int mostConnections = 16;
        int mostPerPeer = 4;
        // Who a connection counts as; empty: its address.
        std::function<RemotePeer(const QTcpSocket&)> peerOf;
    };

    explicit RemoteTcpListener(Settings settings, std::unique_ptr<RemoteAnnouncer> announcer = nullptr,
                               QObject* parent = nullptr);
    ~RemoteTcpListener() override;

    RemotePeer::Link link() const override { return RemotePeer::Link::network; }
    void start(RemoteHost& host) override;
    void stop() override;

    bool isListening() const { return m_server.isListening(); }
    // The port it listens on (the one chosen by the system when the settings ask for 0).
    quint16 port() const { return m_server.serverPort(); }
    int openConnections() const { return int(m_connections.size()); }
    RemoteAnnouncer* announcer() const { return m_announcer.get(); }

    // The peer of an address as phones are counted: "::ffff:192.168.1.20" is 192.168.1.20.
    static RemotePeer peerOf(const QHostAddress& address);

  private:
    void admitPending();
    void admit(QTcpSocket* socket);
    // Makes room for a newcomer from the given peer when every place is taken; false when none can be made.
    bool makeRoom();
    void showState();

    Settings m_settings;
    std::unique_ptr<RemoteAnnouncer> m_announcer;
    QTcpServer m_server;
    QPointer<RemoteHost> m_host;
    QString m_listenError;
    QList<RemoteTcpConnection*> m_connections;
    quint64 m_admitted = 0;
};

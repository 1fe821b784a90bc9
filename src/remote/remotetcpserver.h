#pragma once

#include "remotepeer.h"
#include "remoterequest.h"
#include "remotestatus.h"
#include "remotetcpconnection.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <atomic>
#include <optional>

class QTcpServer;

// The socket side of the TCP listener, made to live on a network thread of its own so that no flood of phones can
// hold up the show: it accepts, admits at most 16 connections and 4 per address among those still waiting for their
// reply, reads and frames each request and decodes it. Only the decoded request leaves the thread (requested), and
// only its reply comes back (answer). An answered connection gives its place up at once and drains under a cap of
// its own.
class RemoteTcpServer : public QObject
{
    Q_OBJECT
  public:
    struct Limits
    {
        RemoteTcpConnection::Timing timing;
        int mostConnections = 16;
        int mostPerPeer = 4;
        // Answered connections still draining; past this the oldest is closed.
        int mostDraining = 64;
    };
    struct Listening
    {
        bool ok = false;
        quint16 port = 0;
        QString error;
    };

    explicit RemoteTcpServer(Limits limits, QObject* parent = nullptr);
    ~RemoteTcpServer() override;

    // On the server's own thread.
    Listening listen(const QHostAddress& address, quint16 port);
    // The reply to the request a connection asked; dropped when the connection is gone.
    void answer(quint64 connection, const RemoteStatus& status);

    // From any thread.
    int openConnections() const { return m_openCount; }
    int drainingConnections() const { return m_drainingCount; }

    // The peer of an address as phones are counted: "::ffff:192.168.1.20" is 192.168.1.20.
    static RemotePeer peerOf(const QHostAddress& address);

  signals:
    // A connection's request (none: the bytes are no request); the reply goes to answer() with the same number.
    void requested(quint64 connection, const std::optional<RemoteRequest>& request, const RemotePeer& peer);
    void acceptFailed(const QString& text);
    // Connections are taken again after the server ran out of descriptors.
    void acceptResumed();

  private:
    class Acceptor;
    Acceptor* makeAcceptor();
    void acceptError(QAbstractSocket::SocketError error);
    void acceptAgainWhenDescriptorsAreFree();
    void admit(qintptr descriptor);
    // Makes room for a newcomer when every place is taken; false when none can be made.
    bool makeRoom();
    void drainAfterReply(RemoteTcpConnection* connection);
    void forget(RemoteTcpConnection* connection);
    void count();

    Limits m_limits;
    // Made by listen(), on the server's thread.
    Acceptor* m_acceptor = nullptr;
    // Reading their request or waiting for its reply.
    QList<RemoteTcpConnection*> m_open;
    // Answered, oldest first.
    QList<RemoteTcpConnection*> m_draining;
    quint64 m_admitted = 0;
    std::atomic<int> m_openCount = 0;
    std::atomic<int> m_drainingCount = 0;
};

#pragma once

#include "remotehostfixture.h"
#include "remotetcplistener.h"

#include <QTcpServer>
#include <QTcpSocket>

// A switched-on host behind a real TCP listener on 127.0.0.1, on a port the system picks.
class RemoteTcpTest : public RemoteHostTest
{
  protected:
    // Call once, before the first phone; a test may change settings first.
    void startListening()
    {
        settings.address = QHostAddress::LocalHost;
        settings.port = 0;
        auto made = std::make_unique<RemoteTcpListener>(settings);
        listener = made.get();
        host->addTransport(std::move(made));
        host->start(true);
        ASSERT_TRUE(listener->isListening()) << host->lan().toStdString();
    }

    // A phone's socket, connected and admitted (or turned away) by the time this returns.
    QTcpSocket* connectPhone()
    {
        const int before = listener->openConnections();
        QTcpSocket* socket = dial();
        EXPECT_TRUE(connected(socket));
        waitUntil([&] { return listener->openConnections() > before || !connected(socket); }, 10000);
        return socket;
    }
    // A socket from the given loopback address once the connection is made or refused.
    QTcpSocket* dial(const QHostAddress& from = QHostAddress::LocalHost)
    {
        auto* socket = new QTcpSocket(&phones);
        socket->bind(from, 0);
        socket->connectToHost(QHostAddress::LocalHost, listener->port());
        waitUntil([&] { return socket->state() != QAbstractSocket::ConnectingState; }, 10000);
        return socket;
    }
    static bool connected(const QTcpSocket* socket) { return socket->state() == QAbstractSocket::ConnectedState; }
    // Everything the host sent before it closed the connection.
    static QByteArray untilClosed(QTcpSocket* socket, int timeoutMs = 10000)
    {
        QByteArray received;
        waitUntil(
            [&] {
                received += socket->readAll();
                return !connected(socket);
            },
            timeoutMs);
        return received + socket->readAll();
    }
    QByteArray exchange(const QByteArrayList& pieces)
    {
        QTcpSocket* socket = connectPhone();
        for (const QByteArray& piece : pieces) {
            socket->write(piece);
            socket->flush();
            runEvents(20);
        }
        return untilClosed(socket);
    }

    RemoteTcpListener::Settings settings;
    RemoteTcpListener* listener = nullptr;
    QObject phones;
};

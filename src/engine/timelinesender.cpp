#include "timelinesender.h"

#include "datagram.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

TimelineSender::TimelineSender(std::chrono::milliseconds timeout, QObject* parent) : QObject(parent), m_timeout(timeout)
{
}

TimelineSender::~TimelineSender()
{
    cancel();
}

void TimelineSender::send(const TimelineEvent& event, Completion completion)
{
    const std::optional<QByteArray> bytes = event.data();
    if (!event.validMessage() || !bytes || event.port < 1 || event.port > 65535) {
        completion(QStringLiteral("消息配置无效"));
        return;
    }

    const QUuid key = QUuid::createUuid();
    const auto port = quint16(event.port);
    // A datagram to an address cannot wait on anything, so it needs neither a socket object nor a time-out.
    if (const QHostAddress address(event.host);
        event.transport != Transport::tcp && !address.isNull() && address.scopeId().isEmpty()) {
        m_pending.insert(key, {nullptr, *bytes, std::move(completion)});
        QTimer::singleShot(0, this, [this, key, address, port] {
            const auto found = m_pending.constFind(key);
            if (found != m_pending.cend())
                finish(key, sendDatagram(address, port, found->bytes));
        });
        return;
    }

    QAbstractSocket* socket =
        event.transport == Transport::tcp ? static_cast<QAbstractSocket*>(new QTcpSocket(this)) : new QUdpSocket(this);
    m_pending.insert(key, {socket, *bytes, std::move(completion)});

    connect(socket, &QAbstractSocket::connected, this, [this, key] { writeBytes(key); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, key, socket] { finish(key, socket->errorString()); });
    if (event.transport == Transport::tcp) {
        connect(socket, &QAbstractSocket::bytesWritten, this, [this, key, socket] {
            if (socket->bytesToWrite() == 0)
                finish(key, std::nullopt);
        });
    }

    // Connecting from the event loop keeps every report out of send(); host names resolve off the main thread.
    const QString host = event.host;
    QTimer::singleShot(0, this, [this, key, host, port] { connectToPeer(key, host, port); });
    QTimer::singleShot(m_timeout, this, [this, key] { finish(key, QStringLiteral("连接或发送超时")); });
}

void TimelineSender::cancel()
{
    const QHash<QUuid, Pending> dropped = std::exchange(m_pending, {});
    for (const Pending& pending : dropped)
        discard(pending.socket);
}

void TimelineSender::connectToPeer(const QUuid& key, const QString& host, quint16 port)
{
    const auto found = m_pending.constFind(key);
    if (found == m_pending.cend())
        return;
    found->socket->connectToHost(host, port);
}

void TimelineSender::writeBytes(const QUuid& key)
{
    const auto found = m_pending.constFind(key);
    if (found == m_pending.cend())
        return;
    // Copies: writing may report, and a report removes the entry.
    QAbstractSocket* socket = found->socket;
    const QByteArray bytes = found->bytes;
    const bool datagram = socket->socketType() == QAbstractSocket::UdpSocket;
    const qint64 written = socket->write(bytes);
    if (written < 0 || (datagram && written != bytes.size())) {
        finish(key, socket->errorString());
        return;
    }
    // A datagram is handed over whole by write(); a stream is done once bytesWritten has flushed it.
    if (datagram)
        finish(key, std::nullopt);
}

void TimelineSender::finish(const QUuid& key, const std::optional<QString>& error)
{
    const auto found = m_pending.find(key);
    if (found == m_pending.end())
        return;
    const Pending pending = std::move(*found);
    m_pending.erase(found);
    if (!pending.socket) {
        pending.completion(error);
        return;
    }
    if (error) {
        discard(pending.socket);
    } else {
        // Everything is with the kernel: close gracefully so a stream peer sees the bytes, then end of stream.
        pending.socket->disconnect(this);
        pending.socket->disconnectFromHost();
        pending.socket->deleteLater();
    }
    pending.completion(error);
}

void TimelineSender::discard(QAbstractSocket* socket)
{
    if (!socket)
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

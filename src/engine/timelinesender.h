#pragma once

#include "timelineevent.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

class QAbstractSocket;

// Sends the communication events of a running timeline, one connection per message, and reports each send once on
// the main thread: no text when the bytes went out, else the failure. Nothing is retried and no reply is read.
class TimelineSender : public QObject
{
    Q_OBJECT

  public:
    using Completion = std::function<void(const std::optional<QString>& error)>;

    static constexpr std::chrono::milliseconds kTimeout{5000};

    explicit TimelineSender(std::chrono::milliseconds timeout = kTimeout, QObject* parent = nullptr);
    ~TimelineSender() override;

    // An event that cannot be sent reports before this returns; every other report comes from the event loop.
    void send(const TimelineEvent& event, Completion completion);
    // Drops every pending send; none of them reports.
    void cancel();

    qsizetype pendingCount() const { return m_pending.size(); }

  private:
    struct Pending
    {
        QAbstractSocket* socket = nullptr; // none for a datagram to an address, sent in one go
        QByteArray bytes;
        Completion completion;
    };

    void connectToPeer(const QUuid& key, const QString& host, quint16 port);
    void writeBytes(const QUuid& key);
    void finish(const QUuid& key, const std::optional<QString>& error);
    void discard(QAbstractSocket* socket);

    std::chrono::milliseconds m_timeout;
    QHash<QUuid, Pending> m_pending;
};

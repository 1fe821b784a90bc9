#pragma once

#include "remotepeer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

class QTcpSocket;

// One phone's connection: it reads one request up to its line feed, in pieces of at most 1,024 bytes, hands it to
// the responder, writes the reply and a line feed, and closes. It closes without a reply when the request grows to
// 4,096 bytes without a line feed, the phone stops sending or fails, no byte came within the first-byte wait, or its
// lifetime from admission ran out. Whatever the phone sends after the first line feed is never looked at.
class RemoteTcpConnection : public QObject
{
    Q_OBJECT
  public:
    using Responder = std::function<QByteArray(const QByteArray& request, const RemotePeer& peer)>;

    struct Timing
    {
        int lifetimeMs = 5000;
        // A phone that says nothing for this long is holding a place others may need.
        int firstByteMs = 2000;
    };

    // Takes the socket over (as its child) and starts reading at once.
    RemoteTcpConnection(QTcpSocket* socket, RemotePeer peer, quint64 serial, Timing timing, Responder responder,
                        QObject* parent = nullptr);

    const RemotePeer& peer() const { return m_peer; }
    // The order of admission: lower is older.
    quint64 serial() const { return m_serial; }
    // Still waiting for its request, with no reply under way.
    bool waiting() const { return m_state == State::reading; }
    bool isClosed() const { return m_state == State::closed; }
    // Ends the connection now, answered or not.
    void close();

    static constexpr qsizetype kLargestPiece = 1024;
    // The line feed must stand at this index or lower.
    static constexpr qsizetype kLongestRequest = 4096;
    // How long an answered phone may go on sending before the connection closes anyway.
    static constexpr int kLongestDrainMs = 1000;

  signals:
    // Emitted once, when the connection is over; the listener then lets it go.
    void closed();

  private:
    enum class State { reading, answering, closed };
    void readIncoming();
    void answer(const QByteArray& request);
    void drainUnread();
    void firstByteDue();

    QTcpSocket* m_socket;
    RemotePeer m_peer;
    quint64 m_serial;
    Responder m_responder;
    State m_state = State::reading;
    QByteArray m_buffer;
    bool m_heardFrom = false;
    QTimer m_lifetime;
    QTimer m_firstByte;
};

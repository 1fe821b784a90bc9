#pragma once

#include "remotepeer.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

// One phone's connection, on the socket the listener accepted: it reads one request up to its line feed, in pieces
// of at most 1,024 bytes, hands it on, sends the reply it is given and a line feed, and then only drains what the
// phone sends on. It closes without a reply when the request grows to 4,096 bytes without a line feed, the phone
// stops sending or fails, no byte came within the first-byte wait, or its lifetime from admission ran out.
// Whatever the phone sends after the first line feed is never looked at.
//
// It works on the bare descriptor: a phone that closes its sending side right after its line must still be able
// to read the reply, and a socket class that closes on the end of the stream would not let it.
class RemoteTcpConnection : public QObject
{
    Q_OBJECT
  public:
    struct Timing
    {
        int lifetimeMs = 5000;
        // A phone that says nothing for this long is holding a place others may need.
        int firstByteMs = 2000;
        // How long an answered phone may go on sending before the connection closes anyway.
        int drainMs = 1000;
    };

    // Takes the connected socket over; reading starts when the event loop turns.
    RemoteTcpConnection(qintptr descriptor, RemotePeer peer, quint64 serial, Timing timing, QObject* parent = nullptr);
    ~RemoteTcpConnection() override;

    const RemotePeer& peer() const { return m_peer; }
    // The order of admission: lower is older.
    quint64 serial() const { return m_serial; }
    // Still reading its request: nothing of it was handed on yet.
    bool waiting() const { return m_state == State::reading; }
    // Its request was handed on and it waits for the reply.
    bool asking() const { return m_state == State::asking; }
    bool isClosed() const { return m_state == State::closed; }

    // Sends the reply to the request it handed on, and a line feed; a second reply, or one after closing, is dropped.
    void reply(const QByteArray& reply);
    // Ends the connection now, answered or not.
    void close();

    static constexpr qsizetype kLargestPiece = 1024;
    // The line feed must stand at this index or lower.
    static constexpr qsizetype kLongestRequest = 4096;

  signals:
    // The request: the bytes before the first line feed. Emitted once; answer with reply().
    void requested(const QByteArray& request);
    // The reply is handed over for sending: from now on the connection only drains.
    void replied();
    // Emitted once, when the connection is over; the owner then lets it go.
    void closed();

  private:
    enum class State { reading, asking, draining, closed };
    void readable();
    void readRequest();
    void sendRest();
    void drain();
    void firstByteDue();

    int m_descriptor;
    RemotePeer m_peer;
    quint64 m_serial;
    Timing m_timing;
    State m_state = State::reading;
    QByteArray m_buffer;
    QByteArray m_unsent;
    bool m_heardFrom = false;
    // The phone has closed its sending side; what is left is to finish the reply.
    bool m_phoneDone = false;
    QSocketNotifier m_readable;
    QSocketNotifier m_writable;
    QTimer m_lifetime;
    QTimer m_firstByte;
};

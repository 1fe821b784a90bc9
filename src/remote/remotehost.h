#pragma once

#include "remoteattemptguard.h"
#include "remotepeer.h"
#include "remoterequest.h"
#include "remotestatus.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class Clock;
class Engine;
class RemoteTransport;

// The mobile-remote server: the on/off switch, the connection code, the phones that asked to pair and the operator's
// answers, and the dispatcher that turns a phone's request into the engine calls the console's buttons make. Lives
// on the main thread; nothing of it is written to disk.
class RemoteHost : public QObject
{
    Q_OBJECT
  public:
    // A phone waiting for the operator's answer.
    struct Pairing
    {
        // The phone's device id exactly as it sent it.
        QString id;
        QString name;
        // Seconds of the host's monotonic clock at which the request lapses.
        double expires = 0;
        RemotePeer peer;
        bool operator==(const Pairing&) const = default;
    };

    // The outside world as the host sees it; anything left empty is the real one.
    struct Services
    {
        std::shared_ptr<Clock> clock;
        // A uniform draw from 0 to 99,999,999.
        std::function<quint32()> drawCode;
        double pairingLifetime = 90;
        RemoteAttemptLimits limits;
    };

    // A new host is idle: off, no code, no phones, no transport started.
    explicit RemoteHost(Engine* engine, QObject* parent = nullptr);
    RemoteHost(Engine* engine, Services services, QObject* parent = nullptr);
    ~RemoteHost() override;

    // What the application installs as Engine::Services::makeRemoteHost.
    static std::function<RemoteHost*(Engine*)> factory();

    Engine* engine() const;
    bool enabled() const { return m_enabled; }
    QString code() const { return m_code; }
    QString lan() const { return m_lan; }
    QString bluetooth() const { return m_bluetooth; }
    // Oldest first.
    const QList<Pairing>& pending() const { return m_pending; }
    const QSet<QString>& approved() const { return m_approved; }
    const QSet<QString>& denied() const { return m_denied; }
    // Wrong codes against the current code, and the peers refused for now.
    int failedAttempts() const { return m_guard.failures(); }
    QList<RemoteAttemptGuard::Lockout> lockouts() const;
    // Now on the clock that expiry and lock-out times are given on.
    double uptime() const;

    // Transports report their state here.
    void setLan(const QString& text);
    void setBluetooth(const QString& text);
    // Started with the remote from now on; Bluetooth ones only when start allows it.
    void addTransport(std::unique_ptr<RemoteTransport> transport);

    void start(bool allowBluetooth);
    // Switches off and forgets every phone; also when already off.
    void stop();
    // The operator's answer to a pending request (taken by value: callers pass entries of pending()); a request that
    // lapsed or was answered is left alone.
    void decide(Pairing pairing, bool allow);
    // One request in, one reply out; never fails (an unencodable reply is empty). The transport names the sender.
    QByteArray reply(const QByteArray& request, const RemotePeer& peer);
    // The same for a request the transport has decoded already (none: the bytes were no request).
    RemoteStatus answer(const std::optional<RemoteRequest>& request, const RemotePeer& peer);

    static constexpr int kMostPending = 8;
    static constexpr int kMostPendingPerPeer = 3;
    static constexpr int kMostDecided = 128;
    // A phone's name is cut to this many characters (graphemes), and to this many UTF-16 code units.
    static constexpr int kLongestName = 60;
    static constexpr int kLongestNameUnits = 240;

  signals:
    void enabledChanged();
    void codeChanged();
    void lanChanged();
    void bluetoothChanged();
    void pendingChanged();
    // The failure count or the lock-outs changed.
    void attemptsChanged();

  private:
    RemoteStatus pairingReply(const RemoteRequest& request, const RemotePeer& peer);
    std::optional<RemoteStatus> refusal(const RemoteRequest& request, const RemotePeer& peer);
    void drawNewCode();
    void prunePending();
    void armExpiry();

    QPointer<Engine> m_engine;
    Services m_services;
    bool m_enabled = false;
    QString m_code;
    QString m_lan;
    QString m_bluetooth;
    QList<Pairing> m_pending;
    QSet<QString> m_approved;
    QSet<QString> m_denied;
    RemoteAttemptGuard m_guard;
    QTimer m_expiry;
    std::vector<std::unique_ptr<RemoteTransport>> m_transports;
};

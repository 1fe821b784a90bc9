#pragma once

#include "remotepeer.h"

#include <QHash>
#include <QList>
#include <optional>

// How many wrong connection codes are tolerated. Eight digits hold 10^8 codes; these limits keep guessing far
// slower than a show is long.
struct RemoteAttemptLimits
{
    // Wrong codes from one peer within the window that lock the peer out.
    int failuresPerPeer = 5;
    double failureWindow = 60;
    // The first lock-out; each further one doubles, up to the longest.
    double firstLockout = 30;
    double longestLockout = 15 * 60;
    // Wrong codes from everyone together that retire the code.
    int failuresPerCode = 50;
    // Peers tracked at once; the quietest is forgotten first.
    int peersRemembered = 4096;
};

// Counts wrong codes per peer and overall, on seconds of a monotonic clock given by the caller.
class RemoteAttemptGuard
{
  public:
    struct Lockout
    {
        RemotePeer peer;
        double until = 0;
    };

    explicit RemoteAttemptGuard(RemoteAttemptLimits limits = {}) : m_limits(limits) {}

    // Seconds the peer must still wait before its codes are looked at again, or none.
    std::optional<double> lockedFor(const RemotePeer& peer, double now) const;
    // Notes one wrong code. True when the failures overall retire the code; the overall count then starts again.
    bool fail(const RemotePeer& peer, double now);
    // A new code: the overall count starts again, lock-outs stay.
    void newCode() { m_failures = 0; }
    void clear();

    // Wrong codes against the current code.
    int failures() const { return m_failures; }
    QList<Lockout> lockouts(double now) const;

  private:
    struct Record
    {
        QList<double> failures;
        int lockouts = 0;
        double lockedUntil = 0;
        double lastFailure = 0;
    };
    void forgetQuietPeers(double now);

    RemoteAttemptLimits m_limits;
    QHash<RemotePeer, Record> m_peers;
    int m_failures = 0;
};

#include "remoteattemptguard.h"

#include <algorithm>
#include <cmath>

std::optional<double> RemoteAttemptGuard::lockedFor(const RemotePeer& peer, double now) const
{
    const auto record = m_peers.constFind(peer);
    if (record == m_peers.cend() || record->lockedUntil <= now)
        return std::nullopt;
    return record->lockedUntil - now;
}

bool RemoteAttemptGuard::fail(const RemotePeer& peer, double now)
{
    forgetQuietPeers(now);
    Record& record = m_peers[peer];
    record.lastFailure = now;
    record.failures.removeIf([&](double at) { return at <= now - m_limits.failureWindow; });
    record.failures.append(now);
    if (record.failures.size() >= m_limits.failuresPerPeer) {
        const double lockout = m_limits.firstLockout * std::pow(2.0, std::min(record.lockouts, 30));
        record.lockedUntil = now + std::min(lockout, m_limits.longestLockout);
        ++record.lockouts;
        record.failures.clear();
    }
    if (++m_failures < m_limits.failuresPerCode)
        return false;
    m_failures = 0;
    return true;
}

void RemoteAttemptGuard::clear()
{
    m_peers.clear();
    m_failures = 0;
}

QList<RemoteAttemptGuard::Lockout> RemoteAttemptGuard::lockouts(double now) const
{
    QList<Lockout> active;
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it)
        if (it->lockedUntil > now)
            active.append({it.key(), it->lockedUntil});
    std::sort(active.begin(), active.end(), [](const Lockout& a, const Lockout& b) { return a.until < b.until; });
    return active;
}

// A peer is forgiven its lock-out count once it has kept quiet for the longest lock-out after its last one.
void RemoteAttemptGuard::forgetQuietPeers(double now)
{
    m_peers.removeIf([&](const auto& entry) {
        const Record& record = entry.value();
        return record.lastFailure <= now - m_limits.failureWindow &&
               std::max(record.lockedUntil, record.lastFailure) <= now - m_limits.longestLockout;
    });
    while (m_peers.size() >= m_limits.peersRemembered) {
        const auto quietest = std::min_element(m_peers.begin(), m_peers.end(), [](const Record& a, const Record& b) {
            return a.lastFailure < b.lastFailure;
        });
        m_peers.erase(quietest);
    }
}

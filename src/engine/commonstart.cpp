#include "commonstart.h"

void CommonStart::start(const QList<Player*>& players, double position)
{
    cancel();
    m_position = position;
    m_earliest = HostClock::now() + kLead;
    for (Player* player : players) {
        if (!player->hasItem())
            continue;
        m_players.append({player, player->generation()});
        if (player->status() == PlayerStatus::loading)
            player->awaitStart();
        m_watches.append(connect(player, &Player::statusChanged, this, &CommonStart::startWhenLoaded));
    }
    startWhenLoaded();
}

void CommonStart::cancel()
{
    for (const QMetaObject::Connection& watch : std::as_const(m_watches))
        disconnect(watch);
    m_watches.clear();
    m_players.clear();
}

void CommonStart::startWhenLoaded()
{
    // A player given other media (or gone) since is no longer this cue's.
    m_players.removeIf([](const Member& member) {
        return !member.player || member.player->generation() != member.item || !member.player->hasItem();
    });
    const bool loading = std::any_of(m_players.cbegin(), m_players.cend(), [](const Member& member) {
        return member.player->status() == PlayerStatus::loading;
    });
    if (loading)
        return;
    const HostTime at = std::max(m_earliest, HostClock::now() + kLead);
    const QList<Member> players = m_players;
    const double position = m_position;
    cancel();
    for (const Member& member : players)
        member.player->playAt(position, at);
}

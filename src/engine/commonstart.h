#pragma once

#include "player.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <chrono>

// Starts the players of a direct cue together, from one position at one host time: a lead after GO, or, when one of
// them is still loading then, a lead after the last has loaded. A player told a start time it is not prerolled for
// begins late on the shared clock: its sound sink drops the sound it missed (the beginning of the cue) and its
// picture hurries to catch up. The first frame of a player still loading waits for the start as well, so that it
// goes up with its sound; a prepared player's stays up from GO.
class CommonStart : public QObject
{
    Q_OBJECT
  public:
    // Every player is told this far ahead when to begin, so that all of them begin together.
    static constexpr std::chrono::milliseconds kLead{100};

    using QObject::QObject;

    // Replaces a start still waiting. Players without an item are left out.
    void start(const QList<Player*>& players, double position);
    // A start still waiting for loads never happens (the cue was paused, stopped or replaced).
    void cancel();
    bool isWaiting() const { return !m_players.isEmpty(); }

  private:
    struct Member
    {
        QPointer<Player> player;
        quint64 item = 0;
    };

    void startWhenLoaded();

    QList<Member> m_players;
    QList<QMetaObject::Connection> m_watches;
    double m_position = 0;
    HostTime m_earliest;
};

#pragma once

#include "videosurface.h"

#include <QPointer>
#include <QTimer>

// The video surface of a real output: follows its player at the display's pace, and when it is given another
// player keeps the old player's last frame on show until the new one has a frame of its own, so a change of clip
// never shows a black frame.
class PlayerSurface : public VideoSurface
{
    Q_OBJECT
  public:
    explicit PlayerSurface(QObject* parent = nullptr);

    void show(Player* player) override;
    void setActive(bool active) override;
    Player* displayedPlayer() const { return m_displayed; }
    Player* pendingPlayer() const { return m_pending; }

  private:
    void poll();
    void startIfNeeded();

    QPointer<Player> m_displayed;
    QPointer<Player> m_pending;
    bool m_active = false;
    QTimer m_timer;
};

#pragma once

#include "videosurface.h"

#include <QPointer>
#include <QTimer>
#include <optional>

// The video surface of a monitor: samples the player's newest frame 24 times a second, only while its view is on
// screen, and converts only frames it has not shown yet.
class VideoMonitorSurface : public VideoSurface
{
    Q_OBJECT
  public:
    explicit VideoMonitorSurface(QObject* parent = nullptr);

    void show(Player* player) override;
    void setActive(bool active) override;
    bool isSampling() const { return m_timer.isActive(); }

  private:
    void sample();
    void attach(std::optional<quint64> item);

    QPointer<Player> m_player;
    // The generation of the item shown: no other item of any player has it, so a player made where another lay
    // does not pass for it.
    std::optional<quint64> m_item;
    QTimer m_timer;
};

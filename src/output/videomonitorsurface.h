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
    struct Item
    {
        const Player* player = nullptr;
        quint64 generation = 0;
        bool operator==(const Item&) const = default;
    };

    void sample();
    void attach(std::optional<Item> item);

    QPointer<Player> m_player;
    std::optional<Item> m_item;
    QTimer m_timer;
};

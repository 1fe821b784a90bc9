#pragma once

#include "videoframe.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

class Player;

// The decoded frames of one player for whoever subscribes. Pulls as often as its most eager subscriber asks
// (1/60 s for an output, less for a monitor) while anyone listens and not at all otherwise; each new frame is
// handed to every subscriber as the same shared VideoFrame.
class MeshVideoFeed : public QObject
{
    Q_OBJECT
  public:
    using Handler = std::function<void(const VideoFrame&)>;
    static constexpr std::chrono::milliseconds outputInterval{1000 / 60};

    explicit MeshVideoFeed(Player* player, QObject* parent = nullptr);

    // Delivers the latest frame to the new handler at once when there is one. The interval says how often the
    // subscriber wants the player looked at.
    QUuid add(Handler handler, std::chrono::milliseconds interval = outputInterval);
    void remove(const QUuid& token);
    bool isRunning() const { return m_timer.isActive(); }
    std::chrono::milliseconds pullInterval() const { return m_timer.intervalAsDuration(); }
    std::optional<VideoFrame> latest() const { return m_latest; }

  private:
    void pullAsOftenAsAsked();
    void sample();
    void deliver(const VideoFrame& frame);

    struct Subscriber
    {
        Handler handler;
        std::chrono::milliseconds interval;
    };

    Player* m_player;
    QHash<QUuid, Subscriber> m_subscribers;
    QTimer m_timer;
    std::optional<quint64> m_generation;
    std::optional<VideoFrame> m_latest;
};

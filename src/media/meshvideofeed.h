#pragma once

#include "videoframe.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <QUuid>
#include <functional>
#include <optional>

class Player;

// The decoded frames of one player for whoever subscribes. Pulls at 1/60 s while anyone listens and not at all
// otherwise; each new frame is handed to every subscriber as the same shared VideoFrame.
class MeshVideoFeed : public QObject
{
    Q_OBJECT
  public:
    using Handler = std::function<void(const VideoFrame&)>;

    explicit MeshVideoFeed(Player* player, QObject* parent = nullptr);

    // Delivers the latest frame to the new handler at once when there is one.
    QUuid add(Handler handler);
    void remove(const QUuid& token);
    bool isRunning() const { return m_timer.isActive(); }
    std::optional<VideoFrame> latest() const { return m_latest; }

  private:
    void sample();
    void deliver(const VideoFrame& frame);

    Player* m_player;
    QHash<QUuid, Handler> m_subscribers;
    QTimer m_timer;
    std::optional<quint64> m_generation;
    std::optional<VideoFrame> m_latest;
};

#pragma once

#include "videoframe.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QUuid>
#include <functional>
#include <optional>

class Player;

// The decoded frames of one player for whoever subscribes. While anyone listens it takes each frame the moment the
// player announces it and hands it to every subscriber as the same shared VideoFrame; it looks at the player at no
// other time, so a frame reaches the outputs as soon as it is decoded, not at the next tick of a clock of its own.
class MeshVideoFeed : public QObject
{
    Q_OBJECT
  public:
    using Handler = std::function<void(const VideoFrame&)>;

    explicit MeshVideoFeed(Player* player, QObject* parent = nullptr);

    // Delivers the latest frame to the new handler at once when there is one.
    QUuid add(Handler handler);
    void remove(const QUuid& token);
    bool isRunning() const { return !m_subscribers.isEmpty(); }
    std::optional<VideoFrame> latest() const { return m_latest; }

  private:
    void followItem();
    void sample();
    void deliver(const VideoFrame& frame);

    Player* m_player;
    QHash<QUuid, Handler> m_subscribers;
    QMetaObject::Connection m_arrivals;
    std::optional<quint64> m_generation;
    std::optional<VideoFrame> m_latest;
};

#pragma once

#include "videoframe.h"

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QUuid>
#include <functional>
#include <mutex>
#include <optional>

class Player;

// The decoded frames of one player for whoever subscribes. While anyone listens it takes each frame the moment the
// player announces it and hands it to every subscriber as the same shared VideoFrame; it looks at the player at no
// other time, so a frame reaches the outputs as soon as it is decoded, not at the next tick of a clock of its own.
// Main-thread subscribers are called on the main thread; direct ones (the output windows' render threads) on the
// thread that decoded the frame, so that a busy main thread never holds a frame back.
class MeshVideoFeed : public QObject
{
    Q_OBJECT
  public:
    using Handler = std::function<void(const VideoFrame&)>;
    // Takes each frame with the generation of the player's item it belongs to.
    using DirectHandler = std::function<void(const VideoFrame& frame, quint64 generation)>;

    explicit MeshVideoFeed(Player* player, QObject* parent = nullptr);
    ~MeshVideoFeed() override;

    // Delivers the latest frame to the new handler at once when there is one.
    QUuid add(Handler handler);
    // Called on the decoding thread from now on, and at once with the player's current frame when it has one.
    QUuid addDirect(DirectHandler handler);
    // Once this returns, the handler is not running and is never called again.
    void remove(const QUuid& token);
    bool isRunning() const;
    std::optional<VideoFrame> latest() const { return m_latest; }

  private:
    void followItem();
    void sample();
    void deliver(const VideoFrame& frame);
    void deliverDirect(const VideoFrame& frame, quint64 generation);

    Player* m_player;
    QHash<QUuid, Handler> m_subscribers;
    QMetaObject::Connection m_arrivals;
    std::optional<quint64> m_generation;
    std::optional<VideoFrame> m_latest;
    // Taken by the decoding thread while it calls the direct handlers.
    mutable std::mutex m_directLock;
    QHash<QUuid, DirectHandler> m_direct;
};

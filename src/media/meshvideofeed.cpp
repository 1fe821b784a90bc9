#include "meshvideofeed.h"

#include "player.h"

MeshVideoFeed::MeshVideoFeed(Player* player, QObject* parent) : QObject(parent), m_player(player)
{
    m_player->setDecodedFrameListener(
        [this](const VideoFrame& frame, quint64 generation) { deliverDirect(frame, generation); });
}

MeshVideoFeed::~MeshVideoFeed()
{
    m_player->setDecodedFrameListener({});
}

bool MeshVideoFeed::isRunning() const
{
    std::scoped_lock lock(m_directLock);
    return !m_subscribers.isEmpty() || !m_direct.isEmpty();
}

QUuid MeshVideoFeed::addDirect(DirectHandler handler)
{
    const QUuid token = QUuid::createUuid();
    std::scoped_lock lock(m_directLock);
    m_direct.insert(token, handler);
    if (const std::optional<VideoFrame> frame = m_player->currentFrame())
        handler(*frame, m_player->generation());
    return token;
}

void MeshVideoFeed::deliverDirect(const VideoFrame& frame, quint64 generation)
{
    std::scoped_lock lock(m_directLock);
    for (const DirectHandler& handler : std::as_const(m_direct))
        handler(frame, generation);
}

QUuid MeshVideoFeed::add(Handler handler)
{
    const QUuid token = QUuid::createUuid();
    const bool first = m_subscribers.isEmpty();
    m_subscribers.insert(token, handler);
    followItem();
    if (m_latest)
        handler(*m_latest);
    if (first) {
        m_arrivals = connect(m_player, &Player::frameArrived, this, &MeshVideoFeed::sample);
        // The first subscriber gets the current frame now rather than with the next one.
        sample();
    }
    return token;
}

void MeshVideoFeed::remove(const QUuid& token)
{
    {
        std::scoped_lock lock(m_directLock);
        if (m_direct.remove(token))
            return;
    }
    m_subscribers.remove(token);
    if (!m_subscribers.isEmpty())
        return;
    disconnect(m_arrivals);
    m_generation.reset();
    m_latest.reset();
}

// A frame of an item the player no longer has is never handed out.
void MeshVideoFeed::followItem()
{
    const quint64 generation = m_player->generation();
    if (m_generation == generation)
        return;
    m_generation = generation;
    m_latest.reset();
}

void MeshVideoFeed::sample()
{
    followItem();
    const std::optional<VideoFrame> frame = m_player->currentFrame();
    if (!frame || (m_latest && m_latest->serial() == frame->serial()))
        return;
    deliver(*frame);
}

void MeshVideoFeed::deliver(const VideoFrame& frame)
{
    m_latest = frame;
    // Handlers may subscribe or unsubscribe while being called: call those registered when delivery started.
    const QList<Handler> handlers = m_subscribers.values();
    for (const Handler& handler : handlers)
        handler(frame);
}

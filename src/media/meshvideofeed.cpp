#include "meshvideofeed.h"

#include "player.h"

MeshVideoFeed::MeshVideoFeed(Player* player, QObject* parent) : QObject(parent), m_player(player)
{
    m_timer.setInterval(outputInterval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &MeshVideoFeed::sample);
}

QUuid MeshVideoFeed::add(Handler handler, std::chrono::milliseconds interval)
{
    const QUuid token = QUuid::createUuid();
    m_subscribers.insert(token, Subscriber{handler, interval});
    pullAsOftenAsAsked();
    if (m_latest)
        handler(*m_latest);
    if (!m_timer.isActive()) {
        m_timer.start();
        // The first subscriber gets the current frame now rather than a tick later.
        sample();
    }
    return token;
}

void MeshVideoFeed::remove(const QUuid& token)
{
    m_subscribers.remove(token);
    if (!m_subscribers.isEmpty()) {
        pullAsOftenAsAsked();
        return;
    }
    m_timer.stop();
    m_generation.reset();
    m_latest.reset();
}

void MeshVideoFeed::pullAsOftenAsAsked()
{
    std::chrono::milliseconds fastest = m_subscribers.cbegin()->interval;
    for (const Subscriber& subscriber : std::as_const(m_subscribers))
        fastest = std::min(fastest, subscriber.interval);
    // Setting the interval restarts a running timer: only a real change may delay the next pull.
    if (fastest != m_timer.intervalAsDuration())
        m_timer.setInterval(fastest);
}

void MeshVideoFeed::sample()
{
    const quint64 generation = m_player->generation();
    if (m_generation != generation) {
        m_generation = generation;
        m_latest.reset();
    }
    const std::optional<VideoFrame> frame = m_player->currentFrame();
    if (!frame || (m_latest && m_latest->serial() == frame->serial()))
        return;
    deliver(*frame);
}

void MeshVideoFeed::deliver(const VideoFrame& frame)
{
    m_latest = frame;
    // Handlers may subscribe or unsubscribe while being called: call those registered when delivery started.
    QList<Handler> handlers;
    for (const Subscriber& subscriber : std::as_const(m_subscribers))
        handlers.append(subscriber.handler);
    for (const Handler& handler : handlers)
        handler(frame);
}

#include "player.h"

#include <atomic>

void Player::setDecodedFrameListener(DecodedFrameListener listener)
{
    std::scoped_lock lock(m_listenerLock);
    m_decodedListener = std::move(listener);
}

// Held while the listener runs, so that replacing it waits for a call in progress.
void Player::frameDecoded(const VideoFrame& frame, quint64 generation)
{
    std::scoped_lock lock(m_listenerLock);
    if (m_decodedListener)
        m_decodedListener(frame, generation);
}

quint64 Player::newGeneration()
{
    static std::atomic<quint64> last{0};
    return ++last;
}

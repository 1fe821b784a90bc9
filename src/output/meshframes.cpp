#include "meshframes.h"

#include <QHash>

quint64 MeshFrames::itemOf(const Player* player, quint64 generation)
{
    return quint64(qHashMulti(0, player, generation));
}

void MeshFrames::receive(const VideoFrame& frame, quint64 item)
{
    std::function<void()> invalidate;
    {
        std::scoped_lock lock(m_lock);
        if (item == m_item && !m_frame.isNull() && frame.serial() < m_frame.serial())
            return;
        m_frame = frame;
        m_item = item;
        invalidate = m_invalidate;
    }
    if (invalidate)
        invalidate();
}

VideoFrame MeshFrames::frameOf(quint64 item) const
{
    std::scoped_lock lock(m_lock);
    return item == m_item ? m_frame : VideoFrame();
}

void MeshFrames::setInvalidate(std::function<void()> invalidate)
{
    std::scoped_lock lock(m_lock);
    m_invalidate = std::move(invalidate);
}

#include "meshframes.h"

void MeshFrames::receive(const VideoFrame& frame, quint64 item)
{
    std::function<void()> invalidate;
    {
        std::scoped_lock lock(m_lock);
        if (item == m_item && !m_frames.empty() && frame.serial() < m_frames.back().serial())
            return;
        if (item != m_item)
            m_frames.clear();
        m_item = item;
        // The same frame again (handed over at subscription and by the decoder) is not a second one.
        if (!m_frames.empty() && m_frames.back().serial() == frame.serial())
            m_frames.back() = frame;
        else
            m_frames.push_back(frame);
        // A frame is never shown again once a newer one is due now: refreshes only move on.
        const Time now = std::chrono::steady_clock::now();
        while (m_frames.size() > kMostFrames ||
               (m_frames.size() > 1 && (!m_frames[1].dueAt() || *m_frames[1].dueAt() <= now)))
            m_frames.pop_front();
        invalidate = m_invalidate;
    }
    if (invalidate)
        invalidate();
}

std::vector<FramePacing::Due> MeshFrames::dues() const
{
    std::vector<FramePacing::Due> dues;
    dues.reserve(m_frames.size());
    for (const VideoFrame& frame : m_frames)
        dues.push_back(frame.dueAt());
    return dues;
}

VideoFrame MeshFrames::frameOf(quint64 item) const
{
    std::scoped_lock lock(m_lock);
    if (item != m_item || m_frames.empty())
        return VideoFrame();
    if (!m_shownAt)
        return m_frames.back();
    const std::optional<std::size_t> due = FramePacing::frameAt(dues(), *m_shownAt);
    return due ? m_frames[*due] : VideoFrame();
}

void MeshFrames::presentAt(Time shownAt)
{
    std::scoped_lock lock(m_lock);
    m_shownAt = shownAt;
}

std::optional<MeshFrames::Time> MeshFrames::nextDrawAt(quint64 item, std::chrono::nanoseconds drawTime) const
{
    std::scoped_lock lock(m_lock);
    if (item != m_item || !m_shownAt)
        return std::nullopt;
    const std::vector<FramePacing::Due> frames = dues();
    return FramePacing::nextDrawAt(frames, FramePacing::frameAt(frames, *m_shownAt), drawTime);
}

void MeshFrames::setInvalidate(std::function<void()> invalidate)
{
    std::scoped_lock lock(m_lock);
    m_invalidate = std::move(invalidate);
}

void MeshFrames::follow(std::shared_ptr<MeshFrames>& held, const std::shared_ptr<MeshFrames>& next,
                        std::function<void()> invalidate)
{
    if (held == next)
        return;
    if (held)
        held->setInvalidate({});
    held = next;
    if (held)
        held->setInvalidate(std::move(invalidate));
}

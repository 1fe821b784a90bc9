#include "videosurface.h"

#include "player.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>

// The conversion scales a decoded frame into an image: per-frame pixel work, kept off the main thread. The global
// pool is waited for when the application ends, so no result is posted to one already gone.
void VideoSurface::showNewestFrame(const Player& player)
{
    if (m_converting)
        return;
    const std::optional<VideoFrame> frame = player.currentFrame();
    if (!frame || frame->serial() == m_serial)
        return;
    m_serial = frame->serial();
    m_converting = true;
    QThreadPool::globalInstance()->start(
        [frame = *frame, size = m_targetSize, surface = QPointer<VideoSurface>(this), generation = m_generation] {
            QImage image = frame.toImage(size);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [surface, generation, image = std::move(image)]() mutable {
                    if (surface)
                        surface->converted(generation, std::move(image));
                },
                Qt::QueuedConnection);
        });
}

void VideoSurface::converted(quint64 generation, QImage image)
{
    m_converting = false;
    if (generation == m_generation)
        setImage(std::move(image));
}

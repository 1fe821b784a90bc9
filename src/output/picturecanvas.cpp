#include "picturecanvas.h"

#include "picture.h"
#include "standbyartwork.h"
#include "videomonitorsurface.h"

#include <QPainter>

PictureCanvas::PictureCanvas(Picture* picture, bool fillsScreen, QObject* parent)
    : QObject(parent), m_picture(picture), m_fillsScreen(fillsScreen),
      m_surface(std::make_unique<VideoMonitorSurface>())
{
    connect(m_surface.get(), &VideoSurface::changed, this, &PictureCanvas::changed);
    refresh();
}

PictureCanvas::~PictureCanvas() = default;

void PictureCanvas::setPicture(Picture* picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    refresh();
}

void PictureCanvas::setFillsScreen(bool fills)
{
    if (fills == m_fillsScreen)
        return;
    m_fillsScreen = fills;
    emit changed();
}

void PictureCanvas::setActive(bool active)
{
    m_surface->setActive(active);
}

void PictureCanvas::setTargetSize(QSize pixels)
{
    m_surface->setTargetSize(pixels);
}

// The picture whose own content is drawn, and whether that content is a video.
static Picture* contentOf(Picture* shown)
{
    if (Picture* front = shown->foreground())
        return front;
    return shown->url() || shown->image() ? shown : nullptr;
}

static Picture* shownPicture(Picture* root)
{
    return root->independentOutput() ? root->independentOutput() : root;
}

void PictureCanvas::refresh()
{
    m_refreshPending = false;
    for (const QMetaObject::Connection& connection : std::as_const(m_watches))
        disconnect(connection);
    m_watches.clear();
    Player* video = nullptr;
    if (m_picture) {
        Picture* shown = shownPicture(m_picture);
        Picture* content = contentOf(shown);
        watch(m_picture);
        if (shown != m_picture.data())
            watch(shown);
        if (content && content != shown)
            watch(content);
        if (content && !content->image())
            video = content->player();
    }
    m_surface->show(video);
    emit changed();
}

// A picture announces each step of a change (a load clears the player, then the image, then sets the new
// media): taken in at once, so the view never draws the steps between.
void PictureCanvas::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &PictureCanvas::refresh, Qt::QueuedConnection);
}

void PictureCanvas::watch(Picture* picture)
{
    const auto again = [this] { scheduleRefresh(); };
    for (auto signal :
         {&Picture::urlChanged, &Picture::imageChanged, &Picture::transitionFrameChanged, &Picture::blackChanged,
          &Picture::foregroundChanged, &Picture::independentOutputChanged, &Picture::fallbackChanged})
        m_watches.append(connect(picture, signal, this, again));
    m_watches.append(connect(picture, &QObject::destroyed, this, again));
}

bool PictureCanvas::showsStandbyArtwork() const
{
    if (!m_picture || m_picture->black())
        return false;
    Picture* shown = shownPicture(m_picture);
    return !shown->fallback() && shown->showsStandby() && !contentOf(shown);
}

void PictureCanvas::paint(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    painter.setClipRect(rect);
    painter.fillRect(rect, Qt::black);
    if (!m_picture || m_picture->black()) {
        painter.restore();
        return;
    }
    Picture* shown = shownPicture(m_picture);
    Picture* content = contentOf(shown);
    if (shown->fallback())
        drawImage(painter, *shown->fallback(), rect);
    else if (showsStandbyArtwork())
        drawStandby(painter, rect);
    if (content) {
        if (content->image()) {
            drawImage(painter, *content->image(), rect);
        } else {
            if (content->transitionFrame())
                drawImage(painter, *content->transitionFrame(), rect);
            drawImage(painter, m_surface->image(), rect);
        }
    }
    painter.restore();
}

void PictureCanvas::drawImage(QPainter& painter, const QImage& image, const QRectF& rect) const
{
    if (image.isNull() || rect.isEmpty())
        return;
    const QSizeF size =
        QSizeF(image.size()).scaled(rect.size(), m_fillsScreen ? Qt::KeepAspectRatioByExpanding : Qt::KeepAspectRatio);
    const QRectF target(rect.center() - QPointF(size.width() / 2, size.height() / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
}

void PictureCanvas::drawStandby(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    painter.translate(rect.topLeft());
    paintStandbyArtwork(painter, rect.size());
    painter.restore();
}

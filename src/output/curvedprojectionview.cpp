#include "curvedprojectionview.h"

#include "meshpicture.h"
#include "meshrenderer.h"
#include "meshvideofeed.h"
#include "monitorrenderthread.h"
#include "picture.h"

#include <QPainter>

using namespace std::chrono_literals;

static constexpr auto kMonitorFrameInterval = 42ms;

CurvedProjectionView::CurvedProjectionView(Picture* root, const ProjectorMapping& mapping, bool pattern,
                                           QWidget* parent)
    : QWidget(parent), m_root(root), m_mapping(mapping), m_pattern(pattern),
      m_renderer(std::make_unique<MonitorRenderThread>(kMonitorFrameInterval))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_renderer.get(), &MonitorRenderThread::imageReady, this, &CurvedProjectionView::takeImage,
            Qt::QueuedConnection);
    refresh();
    m_renderer->start();
}

// The render thread ends before the frames it draws from are let go.
CurvedProjectionView::~CurvedProjectionView()
{
    unsubscribe();
    m_renderer.reset();
}

void CurvedProjectionView::setRoot(Picture* root)
{
    m_root = root;
    refresh();
}

void CurvedProjectionView::setMapping(const ProjectorMapping& mapping)
{
    m_mapping = mapping;
    refresh();
}

void CurvedProjectionView::setPattern(bool pattern)
{
    m_pattern = pattern;
    refresh();
}

QString CurvedProjectionView::errorText() const
{
    return m_renderer->errorText();
}

quint64 CurvedProjectionView::drawings() const
{
    return m_renderer->drawings();
}

void CurvedProjectionView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(rect(), Qt::black);
    else
        painter.drawImage(rect(), m_image);
}

void CurvedProjectionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    updateSurface();
}

// Also told when the window is minimised or restored, which visibility alone does not say.
void CurvedProjectionView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_shown = true;
    updateSurface();
    refresh();
}

void CurvedProjectionView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_shown = false;
    updateSurface();
    unsubscribe();
}

void CurvedProjectionView::updateSurface()
{
    m_renderer->setSurface(size() * devicePixelRatioF(), m_shown);
}

// The image keeps its pixels one to one with the screen's; until a drawing of a new size comes, the last one is
// scaled.
void CurvedProjectionView::takeImage()
{
    m_image = m_renderer->takeImage();
    m_image.setDevicePixelRatio(devicePixelRatioF());
    update();
}

void CurvedProjectionView::refresh()
{
    m_refreshPending = false;
    for (const QMetaObject::Connection& connection : std::as_const(m_watches))
        disconnect(connection);
    m_watches.clear();

    MeshInputs inputs;
    inputs.mapping = m_mapping;
    inputs.frames = m_frames;
    inputs.pattern = m_pattern;
    const MeshPicture described = MeshPicture::describe(m_root, inputs, MeshPicture::Standby::untilFirstFrame);
    for (Picture* watched : described.watched)
        watch(watched);
    MeshVideoFeed* wanted = described.video ? described.video->meshVideoFeed() : nullptr;
    m_renderer->setInputs(inputs);
    subscribe(m_shown ? wanted : nullptr);
}

// A picture announces each step of a change (a load clears the player before it loads the next item):
// the view takes them all in at once, so a new video still finds the old frame on show.
void CurvedProjectionView::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &CurvedProjectionView::refresh, Qt::QueuedConnection);
}

void CurvedProjectionView::watch(Picture* picture)
{
    m_watches.append(MeshPicture::watch(picture, this, [this] { scheduleRefresh(); }));
}

// A feed made where a released one lay is another feed: the guarded pointer no longer names the released one.
void CurvedProjectionView::subscribe(MeshVideoFeed* wanted)
{
    if (m_token && m_feed && m_feed == wanted)
        return;
    unsubscribe();
    if (!wanted)
        return;
    m_feed = wanted;
    // Each frame is tagged with its own item, so a frame of the next item is never taken for one of this.
    m_token =
        m_feed->addDirect([frames = m_frames](const VideoFrame& frame, quint64 item) { frames->receive(frame, item); });
}

void CurvedProjectionView::unsubscribe()
{
    if (m_token && m_feed)
        m_feed->remove(*m_token);
    m_token.reset();
    m_feed.clear();
}

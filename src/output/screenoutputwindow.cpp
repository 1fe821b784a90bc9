#include "screenoutputwindow.h"

#include "meshpicture.h"
#include "meshvideofeed.h"
#include "outputrenderthread.h"
#include "picture.h"
#include "screenoutputsource.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QScreen>

ScreenOutputWindow::ScreenOutputWindow(ScreenOutputSource* source, const ScreenRole& role, QScreen* screen,
                                       const QRect& geometry, OutputRenderOptions options)
    : m_source(source), m_role(role), m_screen(screen)
{
    setFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
             Qt::WindowDoesNotAcceptFocus);
    setTitle(role.rawValue);
    setSurfaceType(QSurface::OpenGLSurface);
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setSwapInterval(1);
    setFormat(format);
    setCursor(Qt::BlankCursor);
    // Recreated, the window would come back on the first display.
    setScreen(screen);
    setGeometry(geometry);
    m_renderer = std::make_unique<OutputRenderThread>(this, std::move(options));
    connect(m_renderer.get(), &OutputRenderThread::frameSwapped, this, &ScreenOutputWindow::frameSwapped,
            Qt::DirectConnection);
    connect(m_renderer.get(), &OutputRenderThread::failed, this, &ScreenOutputWindow::failed, Qt::QueuedConnection);
    if (source)
        connect(source, &ScreenOutputSource::changed, this, &ScreenOutputWindow::refresh);
    refresh();
    create();
    m_renderer->start();
    show();
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this](QScreen* removed) {
        if (removed == m_screen)
            screenLost();
    });
    connect(screen, &QObject::destroyed, this, &ScreenOutputWindow::screenLost);
}

// The render thread ends before the native window goes.
ScreenOutputWindow::~ScreenOutputWindow()
{
    unsubscribe();
    m_renderer.reset();
}

void ScreenOutputWindow::place(const QRect& geometry)
{
    setGeometry(geometry);
}

QString ScreenOutputWindow::errorText() const
{
    return m_renderer->errorText();
}

quint64 ScreenOutputWindow::swaps() const
{
    return m_renderer->swaps();
}

bool ScreenOutputWindow::event(QEvent* event)
{
    if (event->type() == QEvent::PlatformSurface) {
        const auto type = static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType();
        if (type == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
            m_renderer->stop();
        else if (type == QPlatformSurfaceEvent::SurfaceCreated && m_renderer && !m_renderer->isRunning())
            m_renderer->start();
    }
    return QWindow::event(event);
}

void ScreenOutputWindow::exposeEvent(QExposeEvent* event)
{
    QWindow::exposeEvent(event);
    updateSurface();
}

void ScreenOutputWindow::resizeEvent(QResizeEvent* event)
{
    QWindow::resizeEvent(event);
    updateSurface();
}

void ScreenOutputWindow::updateSurface()
{
    if (m_renderer)
        m_renderer->setSurface(size() * devicePixelRatio(), isExposed());
}

// The mapping draws the picture it names (or the screen's own) when it is on; otherwise the screen's own picture
// fills the output flat, uncorrected; without a picture the output is black. A curved output shows the standby
// artwork until a video's first frame; the others only where the picture asks for it and shows nothing of its own.
void ScreenOutputWindow::refresh()
{
    m_refreshPending = false;
    for (const QMetaObject::Connection& connection : std::as_const(m_watches))
        disconnect(connection);
    m_watches.clear();

    MeshInputs inputs;
    inputs.frames = m_frames;
    Picture* picture = nullptr;
    MeshPicture::Standby standby = MeshPicture::Standby::canvas;
    if (m_source) {
        const ProjectorMapping mapping = m_source->mapping(m_role);
        Picture* mapped = m_source->program(mapping.source.value_or(m_role));
        if (mapping.enabled && mapped) {
            inputs.mapping = mapping;
            // The mesh draws its own calibration grid; a corner pin warps the output's test pattern.
            const bool pattern = m_source->testPattern();
            inputs.pattern = pattern && mapping.mesh;
            inputs.flatPattern = pattern && !mapping.mesh;
            picture = mapped;
            if (mapping.mesh)
                standby = MeshPicture::Standby::untilFirstFrame;
        } else {
            picture = m_source->program(m_role);
        }
    }
    const MeshPicture described = MeshPicture::describe(picture, inputs, standby);
    for (Picture* watched : described.watched) {
        m_watches.append(MeshPicture::watch(watched, this, [this] { scheduleRefresh(); }));
        m_watches.append(connect(watched, &Picture::foregroundChanged, this, &ScreenOutputWindow::takeInPreparedVideo));
    }
    if (!picture)
        inputs.black = true;
    MeshVideoFeed* wanted = described.video ? described.video->meshVideoFeed() : nullptr;
    m_renderer->setInputs(inputs);
    subscribe(m_open ? wanted : nullptr);
}

// A video put up already prerolled (a GO to a prepared cue) shows its first frame at once, while its player waits
// for the common start: nothing of the change is left to come that could show in between.
void ScreenOutputWindow::takeInPreparedVideo()
{
    if (!m_source)
        return;
    const ProjectorMapping mapping = m_source->mapping(m_role);
    Picture* mapped = m_source->program(mapping.source.value_or(m_role));
    Picture* root = mapping.enabled && mapped ? mapped : m_source->program(m_role);
    Picture* output = root && root->independentOutput() ? root->independentOutput() : root;
    Picture* video = output ? output->foreground() : nullptr;
    if (video && video->player()->isReady() && video->player()->currentFrame())
        refresh();
}

// A picture announces each step of a change (a load clears the player before it loads the next item): taken in at
// once, so a new video still finds the old frame on show.
void ScreenOutputWindow::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QMetaObject::invokeMethod(this, &ScreenOutputWindow::refresh, Qt::QueuedConnection);
}

// A feed made where a released one lay is another feed: the guarded pointer no longer names the released one.
void ScreenOutputWindow::subscribe(MeshVideoFeed* wanted)
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

void ScreenOutputWindow::unsubscribe()
{
    if (m_token && m_feed)
        m_feed->remove(*m_token);
    m_token.reset();
    m_feed.clear();
}

// Qt moves the windows of a removed display elsewhere, possibly over the console: hide at once.
void ScreenOutputWindow::screenLost()
{
    if (!m_open)
        return;
    m_open = false;
    unsubscribe();
    hide();
}

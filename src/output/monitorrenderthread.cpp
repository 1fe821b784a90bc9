#include "monitorrenderthread.h"

#include "belowshowclock.h"
#include "mailboxwakeup.h"
#include "polygondistancefieldcache.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>
#include <utility>

static QSurfaceFormat monitorFormat()
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    return format;
}

MonitorRenderThread::MonitorRenderThread(std::chrono::milliseconds frameInterval, QObject* parent)
    : QThread(parent), m_frameInterval(frameInterval), m_surface(std::make_unique<QOffscreenSurface>())
{
    setObjectName(QStringLiteral("monitor render"));
    m_surface->setFormat(monitorFormat());
    m_surface->create();
    // A mask's field comes from a pool thread: the renderer takes it in and draws, without the main thread.
    connect(&PolygonDistanceFieldCache::shared(), &PolygonDistanceFieldCache::ready, this,
            mailboxWakeup(m_mailbox, &Mailbox::maskReady), Qt::DirectConnection);
}

MonitorRenderThread::~MonitorRenderThread()
{
    stop();
    MeshFrames::follow(m_frames, nullptr, {});
}

void MonitorRenderThread::setInputs(const MeshInputs& inputs)
{
    MeshFrames::follow(m_frames, inputs.frames, mailboxWakeup(m_mailbox, &Mailbox::videoWanted));
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->inputs = inputs;
    m_mailbox->wake.notify_one();
}

void MonitorRenderThread::setSurface(QSize pixelSize, bool shown)
{
    std::scoped_lock lock(m_mailbox->lock);
    if (pixelSize == m_mailbox->size && shown == m_mailbox->shown)
        return;
    m_mailbox->size = pixelSize;
    m_mailbox->shown = shown;
    m_mailbox->frameWanted = true;
    m_mailbox->wake.notify_one();
}

void MonitorRenderThread::stop()
{
    if (!isRunning())
        return;
    {
        std::scoped_lock lock(m_mailbox->lock);
        m_mailbox->stopping = true;
        m_mailbox->wake.notify_one();
    }
    wait();
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->stopping = false;
}

QImage MonitorRenderThread::takeImage()
{
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->announced = false;
    return m_mailbox->image;
}

QString MonitorRenderThread::errorText() const
{
    std::scoped_lock lock(m_mailbox->lock);
    return m_mailbox->error;
}

void MonitorRenderThread::fail(const QString& reason)
{
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->error = reason;
}

// Sleeps until there is something to draw; a new video frame waits until a frame interval has passed since the
// last drawing. False when the thread is to stop.
bool MonitorRenderThread::waitForWork(std::unique_lock<std::mutex>& lock, bool first, Clock::time_point lastDrawing)
{
    Mailbox& box = *m_mailbox;
    for (;;) {
        if (box.stopping)
            return false;
        const bool drawable = box.shown && !box.size.isEmpty();
        if (drawable && (first || box.frameWanted || box.inputs || box.maskReady))
            return true;
        const Clock::time_point due = lastDrawing + m_frameInterval;
        if (drawable && box.videoWanted && Clock::now() >= due)
            return true;
        if (drawable && box.videoWanted)
            box.wake.wait_until(lock, due);
        else
            box.wake.wait(lock);
    }
}

// The drawing as the window shows it: opaque, top row first, in the format a widget paints without converting.
QImage MonitorRenderThread::readBack(QSize size)
{
    QOpenGLExtraFunctions* f = QOpenGLContext::currentContext()->extraFunctions();
    f->glDisable(GL_SCISSOR_TEST);
    f->glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_TRUE);
    f->glClearColor(0, 0, 0, 1);
    f->glClear(GL_COLOR_BUFFER_BIT);
    f->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    QImage image(size, QImage::Format_RGB32);
    f->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    f->glReadPixels(0, 0, size.width(), size.height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, image.bits());
    image.mirror();
    return image;
}

void MonitorRenderThread::run()
{
    runBelowShowClock();
    Mailbox& box = *m_mailbox;
    QOpenGLContext context;
    context.setFormat(monitorFormat());
    if (!m_surface->isValid() || !context.create()) {
        fail(QStringLiteral("没有可用的 OpenGL 上下文"));
        return;
    }
    MeshRenderer renderer;
    std::unique_ptr<QOpenGLFramebufferObject> framebuffer;
    // The inputs of the last run are given again to the new renderer.
    bool changed = m_inputs.has_value();
    bool first = true;
    Clock::time_point lastDrawing;
    for (;;) {
        QSize size;
        bool wanted = false;
        {
            std::unique_lock lock(box.lock);
            if (!waitForWork(lock, first, lastDrawing))
                break;
            const bool videoDue = box.videoWanted && Clock::now() >= lastDrawing + m_frameInterval;
            wanted = first || box.frameWanted || videoDue;
            first = false;
            box.frameWanted = false;
            box.videoWanted = box.videoWanted && !videoDue;
            changed = changed || box.maskReady;
            box.maskReady = false;
            if (box.inputs) {
                m_inputs = std::move(box.inputs);
                box.inputs.reset();
                changed = true;
            }
            size = box.size;
        }
        // Inputs handed over again unchanged draw nothing; a mask's field made meanwhile is taken in.
        if (changed && m_inputs && renderer.update(*m_inputs))
            wanted = true;
        changed = false;
        if (!wanted)
            continue;
        if (!context.makeCurrent(m_surface.get())) {
            fail(QStringLiteral("OpenGL 上下文无法启用"));
            continue;
        }
        lastDrawing = Clock::now();
        if (!framebuffer || framebuffer->size() != size)
            framebuffer = std::make_unique<QOpenGLFramebufferObject>(size);
        framebuffer->bind();
        renderer.draw(size);
        QImage image = readBack(size);
        framebuffer->release();
        ++m_drawings;
        if (!renderer.errorText().isEmpty())
            fail(renderer.errorText());
        bool announce = false;
        {
            std::scoped_lock lock(box.lock);
            box.image = std::move(image);
            announce = !std::exchange(box.announced, true);
        }
        if (announce)
            emit imageReady();
    }
    if (context.makeCurrent(m_surface.get())) {
        renderer.releaseGl();
        framebuffer.reset();
        context.doneCurrent();
    } else {
        renderer.forgetGl();
    }
}

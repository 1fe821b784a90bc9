#include "outputrenderthread.h"

#include "polygondistancefieldcache.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>

OutputRenderThread::OutputRenderThread(QWindow* window, OutputRenderOptions options)
    : m_window(window), m_options(std::move(options))
{
    setObjectName(QStringLiteral("output render"));
    // A mask's field comes from a pool thread: the renderer takes it in and draws, without the main thread.
    connect(
        &PolygonDistanceFieldCache::shared(), &PolygonDistanceFieldCache::ready, this,
        [mailbox = std::weak_ptr<Mailbox>(m_mailbox)] {
            if (const std::shared_ptr<Mailbox> box = mailbox.lock()) {
                std::scoped_lock lock(box->lock);
                box->maskReady = true;
                box->wake.notify_one();
            }
        },
        Qt::DirectConnection);
}

OutputRenderThread::~OutputRenderThread()
{
    stop();
    if (m_frames)
        m_frames->setInvalidate({});
}

void OutputRenderThread::setInputs(const MeshInputs& inputs)
{
    if (inputs.frames != m_frames) {
        if (m_frames)
            m_frames->setInvalidate({});
        m_frames = inputs.frames;
        if (m_frames)
            m_frames->setInvalidate([mailbox = std::weak_ptr<Mailbox>(m_mailbox)] {
                if (const std::shared_ptr<Mailbox> box = mailbox.lock()) {
                    std::scoped_lock lock(box->lock);
                    box->frameWanted = true;
                    box->wake.notify_one();
                }
            });
    }
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->inputs = inputs;
    m_mailbox->wake.notify_one();
}

void OutputRenderThread::setSurface(QSize pixelSize, bool exposed)
{
    // Every expose asks for a frame: the window system may have lost what was shown.
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->size = pixelSize;
    m_mailbox->exposed = exposed;
    m_mailbox->frameWanted = true;
    m_mailbox->wake.notify_one();
}

void OutputRenderThread::requestFrame()
{
    std::scoped_lock lock(m_mailbox->lock);
    m_mailbox->frameWanted = true;
    m_mailbox->wake.notify_one();
}

void OutputRenderThread::stop()
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

QString OutputRenderThread::errorText() const
{
    std::scoped_lock lock(m_mailbox->lock);
    return m_mailbox->error;
}

void OutputRenderThread::fail(const QString& reason)
{
    {
        std::scoped_lock lock(m_mailbox->lock);
        if (m_mailbox->error == reason)
            return;
        m_mailbox->error = reason;
    }
    emit failed(reason);
}

void OutputRenderThread::run()
{
    Mailbox& box = *m_mailbox;
    QOpenGLContext context;
    context.setFormat(m_window->requestedFormat());
    if (!(m_options.createContext ? m_options.createContext(context) : context.create())) {
        fail(QStringLiteral("没有可用的 OpenGL 上下文"));
        return;
    }
    MeshRenderer renderer;
    // The inputs of the last run are given again to the new renderer.
    bool changed = m_inputs.has_value();
    bool first = true;
    for (;;) {
        QSize size;
        bool wanted = false;
        {
            std::unique_lock lock(box.lock);
            box.wake.wait(lock, [&] {
                return box.stopping || ((first || box.frameWanted || box.inputs || box.maskReady) && box.exposed &&
                                        !box.size.isEmpty());
            });
            if (box.stopping)
                break;
            wanted = first || box.frameWanted;
            first = false;
            box.frameWanted = false;
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
        if (!context.makeCurrent(m_window)) {
            fail(QStringLiteral("OpenGL 上下文无法启用"));
            continue;
        }
        renderer.draw(size);
        context.swapBuffers(m_window);
        ++m_swaps;
        if (!renderer.errorText().isEmpty())
            fail(renderer.errorText());
        const std::optional<double> videoTime = renderer.videoTimeShown();
        emit frameSwapped(videoTime.value_or(-1));
    }
    if (context.makeCurrent(m_window)) {
        renderer.releaseGl();
        context.doneCurrent();
    } else {
        renderer.forgetGl();
    }
}

#include "outputrenderthread.h"

#include "belowshowclock.h"
#include "mailboxwakeup.h"
#include "polygondistancefieldcache.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWindow>
#include <algorithm>

using namespace std::chrono_literals;

// Video frames come about this far ahead of their due time (the video sink's hand-over lead).
static constexpr std::chrono::nanoseconds kLongestDrawTime = 30ms;

// The draws of every output window together, from the start of a draw to the return of its swap: windows that start
// their draws of one frame together show it together. The median of the last draws, so that a draw held up once (or
// a quick one) does not put the frames after it early (or late); never longer than frames come ahead of time.
class OutputRenderThread::DrawTimes
{
  public:
    static DrawTimes& shared()
    {
        static DrawTimes times;
        return times;
    }
    std::chrono::nanoseconds note(std::chrono::nanoseconds taken)
    {
        std::scoped_lock lock(m_lock);
        m_times[m_count++ % m_times.size()] = taken;
        std::array<std::chrono::nanoseconds, 31> recent = m_times;
        const auto end = recent.begin() + std::min(m_count, recent.size());
        const auto middle = recent.begin() + (end - recent.begin()) / 2;
        std::nth_element(recent.begin(), middle, end);
        m_median = std::min(*middle, kLongestDrawTime);
        return m_median;
    }
    std::chrono::nanoseconds median()
    {
        std::scoped_lock lock(m_lock);
        return m_median;
    }

  private:
    std::mutex m_lock;
    std::array<std::chrono::nanoseconds, 31> m_times{};
    std::size_t m_count = 0;
    std::chrono::nanoseconds m_median = 8ms;
};

OutputRenderThread::OutputRenderThread(QWindow* window, OutputRenderOptions options)
    : m_window(window), m_options(std::move(options))
{
    setObjectName(QStringLiteral("output render"));
    // A mask's field comes from a pool thread: the renderer takes it in and draws, without the main thread.
    connect(&PolygonDistanceFieldCache::shared(), &PolygonDistanceFieldCache::ready, this,
            mailboxWakeup(m_mailbox, &Mailbox::maskReady), Qt::DirectConnection);
}

OutputRenderThread::~OutputRenderThread()
{
    stop();
    MeshFrames::follow(m_frames, nullptr, {});
}

void OutputRenderThread::setInputs(const MeshInputs& inputs)
{
    MeshFrames::follow(m_frames, inputs.frames, mailboxWakeup(m_mailbox, &Mailbox::videoArrived));
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

std::optional<std::pair<quint64, std::uint64_t>> OutputRenderThread::videoFrameDue()
{
    if (!m_inputs || !m_inputs->frames || !m_inputs->item)
        return std::nullopt;
    m_drawTime = DrawTimes::shared().median();
    m_inputs->frames->presentAt(std::chrono::steady_clock::now() + m_drawTime);
    const VideoFrame frame = m_inputs->frames->frameOf(*m_inputs->item);
    if (frame.isNull() || m_shownFrame == std::pair(*m_inputs->item, frame.serial()))
        return std::nullopt;
    return std::pair(*m_inputs->item, frame.serial());
}

std::optional<std::chrono::steady_clock::time_point> OutputRenderThread::nextVideoDrawAt() const
{
    if (!m_inputs || !m_inputs->frames || !m_inputs->item)
        return std::nullopt;
    return m_inputs->frames->nextDrawAt(*m_inputs->item, m_drawTime);
}

void OutputRenderThread::noteDrawTime(std::chrono::nanoseconds taken)
{
    m_drawTime = DrawTimes::shared().note(taken);
}

void OutputRenderThread::run()
{
    runBelowShowClock();
    using Clock = std::chrono::steady_clock;
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
    m_shownFrame.reset();
    // When to draw for the next video frame to reach the screen at its refresh; never while none waits.
    constexpr Clock::time_point never = Clock::time_point::max();
    Clock::time_point nextVideoDraw = never;
    for (;;) {
        QSize size;
        bool wanted = false;
        {
            std::unique_lock lock(box.lock);
            const auto ready = [&] {
                // A frame that comes while the draw of an earlier one is timed waits for that draw.
                const bool videoWanted = box.videoArrived && nextVideoDraw == never;
                return box.stopping || ((first || box.frameWanted || videoWanted || box.inputs || box.maskReady) &&
                                        box.exposed && !box.size.isEmpty());
            };
            if (nextVideoDraw != never)
                box.wake.wait_until(lock, nextVideoDraw, ready);
            else
                box.wake.wait(lock, ready);
            if (box.stopping)
                break;
            nextVideoDraw = never;
            if (!box.exposed || box.size.isEmpty())
                continue;
            wanted = first || box.frameWanted;
            first = false;
            box.frameWanted = false;
            box.videoArrived = false;
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
        const std::optional<std::pair<quint64, std::uint64_t>> dueFrame = videoFrameDue();
        if (dueFrame)
            wanted = true;
        if (!wanted) {
            nextVideoDraw = nextVideoDrawAt().value_or(never);
            continue;
        }
        if (!context.makeCurrent(m_window)) {
            fail(QStringLiteral("OpenGL 上下文无法启用"));
            continue;
        }
        const Clock::time_point started = Clock::now();
        renderer.draw(size);
        context.swapBuffers(m_window);
        noteDrawTime(Clock::now() - started);
        ++m_swaps;
        if (!renderer.errorText().isEmpty())
            fail(renderer.errorText());
        if (dueFrame)
            m_shownFrame = dueFrame;
        nextVideoDraw = nextVideoDrawAt().value_or(never);
        const std::optional<MeshRenderer::VideoShown> video = renderer.videoShown();
        const std::optional<Clock::time_point> due = video ? video->dueAt : std::nullopt;
        emit frameSwapped(video ? video->time : -1,
                          due ? std::chrono::nanoseconds(due->time_since_epoch()).count() : qint64(-1),
                          video ? video->item : 0);
    }
    if (context.makeCurrent(m_window)) {
        renderer.releaseGl();
        context.doneCurrent();
    } else {
        renderer.forgetGl();
    }
}

#include "panelsignsoflife.h"

#include "filepanelrequest.h"

#include <QByteArray>
#include <QFile>
#include <chrono>
#include <unistd.h>

namespace {

qint64 now()
{
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

// How far the process's main thread has got: its processor time in ticks and its context switches, summed. The
// number moves whenever the thread runs or a wait of it ends.
qint64 progressOfMainThread()
{
    const QByteArray task = "/proc/self/task/" + QByteArray::number(qint64(::getpid()));
    qint64 progress = 0;
    QFile stat(QString::fromLatin1(task + "/stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        // After the command's closing parenthesis: state is field 3, utime and stime fields 14 and 15.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            progress += fields[11].toLongLong() + fields[12].toLongLong();
    }
    QFile status(QString::fromLatin1(task + "/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.contains("ctxt_switches:"))
                progress += line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    return progress;
}

} // namespace

PanelSignsOfLife::PanelSignsOfLife(std::function<void()> sign) : m_sign(std::move(sign)), m_lastTurn(now())
{
    m_turns.setInterval(int(FilePanelRequest::kSignOfLifeEvery.count() / 2));
    QObject::connect(&m_turns, &QTimer::timeout, [this] { m_lastTurn = now(); });
    m_turns.start();
    m_thread = std::thread([this] { run(); });
}

PanelSignsOfLife::~PanelSignsOfLife()
{
    {
        std::lock_guard guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void PanelSignsOfLife::run()
{
    const auto every = std::chrono::duration_cast<std::chrono::nanoseconds>(FilePanelRequest::kSignOfLifeEvery);
    qint64 lastProgress = progressOfMainThread();
    std::unique_lock guard(m_lock);
    while (!m_wake.wait_for(guard, every, [this] { return m_stop; })) {
        const qint64 progress = progressOfMainThread();
        const bool served = now() - m_lastTurn < 2 * every.count();
        if (served || progress != lastProgress)
            m_sign();
        lastProgress = progress;
    }
}

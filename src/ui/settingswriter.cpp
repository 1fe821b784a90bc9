#include "settingswriter.h"

#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <system_error>
#include <thread>

struct SettingsWriter::Shared
{
    QString fileName;
    std::mutex lock;
    std::condition_variable settled;
    QMap<QString, QVariant> pending;
    // The keys of the values on their way to the file.
    QStringList writing;
    bool threadRunning = false;
};

namespace {
// The writers' threads still running. Never destroyed: a thread held by its folder may outlive static destruction.
struct Threads
{
    std::mutex lock;
    std::condition_variable done;
    int running = 0;
};

Threads& threads()
{
    static auto* all = new Threads;
    return *all;
}

std::unique_ptr<QSettings> openSettings(const QString& fileName)
{
    if (fileName.isEmpty())
        return std::make_unique<QSettings>("Lumoria", "Lumoria");
    return std::make_unique<QSettings>(fileName, QSettings::IniFormat);
}

// Where the settings live, found without asking the disk.
QString shownFileName(const QString& fileName)
{
    if (!fileName.isEmpty())
        return QFileInfo(fileName).fileName();
    return QStringLiteral("Lumoria.conf");
}
} // namespace

SettingsWriter::SettingsWriter(const QString& fileName) : m_shared(std::make_shared<Shared>())
{
    m_shared->fileName = fileName;
}

SettingsWriter::~SettingsWriter()
{
    if (!m_gaveUp)
        finishWriting(QDeadlineTimer(kLastWritesMs));
}

void SettingsWriter::write(const QString& key, const QVariant& value)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->pending.insert(key, value);
    if (!m_shared->threadRunning)
        startThread();
}

// Called with the shared lock held. Should no thread start, the values wait for the next write or are named as
// not written at the end.
void SettingsWriter::startThread()
{
    {
        std::lock_guard counted(threads().lock);
        ++threads().running;
    }
    try {
        std::thread(run, m_shared).detach();
        m_shared->threadRunning = true;
    } catch (const std::system_error&) {
        std::lock_guard counted(threads().lock);
        --threads().running;
        threads().done.notify_all();
    }
}

void SettingsWriter::run(std::shared_ptr<Shared> shared)
{
    for (;;) {
        QMap<QString, QVariant> batch;
        {
            std::lock_guard guard(shared->lock);
            shared->writing.clear();
            if (shared->pending.isEmpty()) {
                shared->threadRunning = false;
                shared->settled.notify_all();
                break;
            }
            batch = std::exchange(shared->pending, {});
            shared->writing = batch.keys();
        }
        const std::unique_ptr<QSettings> settings = openSettings(shared->fileName);
        for (auto value = batch.cbegin(); value != batch.cend(); ++value)
            settings->setValue(value.key(), value.value());
        settings->sync();
    }
    std::lock_guard counted(threads().lock);
    --threads().running;
    threads().done.notify_all();
}

bool SettingsWriter::written() const
{
    std::lock_guard guard(m_shared->lock);
    return !m_shared->threadRunning && m_shared->pending.isEmpty();
}

void SettingsWriter::finishWriting(QDeadlineTimer deadline)
{
    std::unique_lock guard(m_shared->lock);
    const auto settled = [this] { return !m_shared->threadRunning && m_shared->pending.isEmpty(); };
    if (deadline.isForever())
        m_shared->settled.wait(guard, settled);
    else
        m_shared->settled.wait_for(guard, std::chrono::milliseconds(deadline.remainingTime()), settled);
    if (settled())
        return;
    QStringList lost = m_shared->writing + m_shared->pending.keys();
    lost.removeDuplicates();
    m_gaveUp = true;
    const QString text = QStringLiteral("Lumoria：“%1”所在的文件夹没有响应，设置 %2 没有保存。\n")
                             .arg(shownFileName(m_shared->fileName), lost.join(QStringLiteral("、")));
    std::fputs(text.toUtf8().constData(), stderr);
}

bool SettingsWriter::waitForAll(int timeoutMs)
{
    std::unique_lock guard(threads().lock);
    return threads().done.wait_for(guard, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                   [] { return threads().running == 0; });
}

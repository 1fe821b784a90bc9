#include "settingswriter.h"

#include <QDir>
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
    // The values whose last write failed, and why; they go with the next write.
    QMap<QString, QVariant> failed;
    QString failure;
    Failed told;
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

// Why the settings could not be written, as QSettings found it.
QString failureText(const QSettings& settings)
{
    const QString file = QDir::toNativeSeparators(settings.fileName());
    return settings.status() == QSettings::FormatError ? QStringLiteral("设置文件格式错误 · ") + file
                                                       : QStringLiteral("无法写入 ") + file;
}
} // namespace

SettingsWriter::SettingsWriter(const QString& fileName) : m_shared(std::make_shared<Shared>())
{
    m_shared->fileName = fileName;
}

SettingsWriter::~SettingsWriter()
{
    setFailed({});
    if (!m_said)
        finishWriting(QDeadlineTimer(kLastWritesMs));
}

void SettingsWriter::setFailed(Failed failed)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->told = std::move(failed);
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
            // A value that failed is written again with the next ones, unless a newer one takes its place.
            batch = std::exchange(shared->failed, {});
            batch.insert(std::exchange(shared->pending, {}));
            shared->writing = batch.keys();
        }
        const std::unique_ptr<QSettings> settings = openSettings(shared->fileName);
        for (auto value = batch.cbegin(); value != batch.cend(); ++value)
            settings->setValue(value.key(), value.value());
        settings->sync();
        if (settings->status() == QSettings::NoError)
            continue;
        std::lock_guard guard(shared->lock);
        shared->failed = batch;
        shared->failure = failureText(*settings);
        if (shared->told)
            shared->told(batch.keys(), shared->failure);
    }
    std::lock_guard counted(threads().lock);
    --threads().running;
    threads().done.notify_all();
}

bool SettingsWriter::written() const
{
    std::lock_guard guard(m_shared->lock);
    return !m_shared->threadRunning && m_shared->pending.isEmpty() && m_shared->failed.isEmpty();
}

bool SettingsWriter::settled() const
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
    QString text;
    if (!settled()) {
        QStringList lost = m_shared->writing + m_shared->pending.keys() + m_shared->failed.keys();
        lost.removeDuplicates();
        text += QStringLiteral("Lumoria：“%1”所在的文件夹没有响应，设置 %2 没有保存。\n")
                    .arg(shownFileName(m_shared->fileName), lost.join(QStringLiteral("、")));
    } else if (!m_shared->failed.isEmpty()) {
        text += QStringLiteral("Lumoria：设置 %1 没有保存 · %2。\n")
                    .arg(m_shared->failed.keys().join(QStringLiteral("、")), m_shared->failure);
    }
    if (text.isEmpty())
        return;
    m_said = true;
    std::fputs(text.toUtf8().constData(), stderr);
}

bool SettingsWriter::waitForAll(int timeoutMs)
{
    std::unique_lock guard(threads().lock);
    return threads().done.wait_for(guard, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                   [] { return threads().running == 0; });
}

#pragma once

#include <QString>
#include <QUrl>
#include <chrono>
#include <condition_variable>
#include <mutex>

// A folder whose every file question hangs, as a stat does on a network share that stopped answering, until it is
// released, or for at most a few seconds: a main thread that asks it itself is held that long, not for ever. Asked
// on any thread; the folder may be named after the questions began.
class StalledFolder
{
  public:
    void stall(const QString& path)
    {
        std::lock_guard guard(m_lock);
        m_path = path;
        m_answers = false;
    }
    // Hangs when the url lies in the stalled folder.
    void hangIfHeld(const QUrl& url)
    {
        std::unique_lock guard(m_lock);
        if (m_path.isEmpty() || !url.toLocalFile().startsWith(m_path + QLatin1Char('/')))
            return;
        m_released.wait_for(guard, std::chrono::seconds(4), [this] { return m_answers; });
    }
    void release()
    {
        std::lock_guard guard(m_lock);
        m_answers = true;
        m_released.notify_all();
    }

  private:
    std::mutex m_lock;
    std::condition_variable m_released;
    QString m_path;
    bool m_answers = false;
};

#pragma once

#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// The panel program's signs of life, given by a thread of their own: the panel's main thread may be busy for seconds
// (a large selection taken in, a folder listed from a slow share), and a busy panel is not a held one. A sign is
// given every FilePanelRequest::kSignOfLifeEvery while the main thread serves its events, or has got on since the
// last look: it ran on a processor, or a wait of it ended (its count of context switches moved). Only a main thread
// that sits in one wait all along gives none: a folder that does not answer holds its call.
class PanelSignsOfLife
{
  public:
    // Made on the main thread; `sign` is called on the thread of the signs.
    explicit PanelSignsOfLife(std::function<void()> sign);
    // Gives no sign from its return on.
    ~PanelSignsOfLife();
    PanelSignsOfLife(const PanelSignsOfLife&) = delete;
    PanelSignsOfLife& operator=(const PanelSignsOfLife&) = delete;

  private:
    void run();

    const std::function<void()> m_sign;
    // When the main thread last served its events.
    std::atomic<qint64> m_lastTurn;
    QTimer m_turns;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::thread m_thread;
};

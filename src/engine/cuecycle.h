#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class Clock;

// Keeps a cue on air for a shortest time of unpaused playing before an automatic run moves on or a phone's loop
// starts it again, so a cue that ends at once cannot cycle in a busy loop. While paused it looks again every 0.1 s.
class CueCycle : public QObject
{
    Q_OBJECT
  public:
    static constexpr double kShortestSeconds = 1.0;

    CueCycle(std::shared_ptr<Clock> clock, std::function<bool()> isPaused, QObject* parent = nullptr);

    // A cue went on air now; work still waiting for the cue before it is dropped.
    void markStart();
    // Pauses do not count towards the shortest time.
    void pause();
    void resume();
    // Runs the work once the cue on air has been shown long enough, replacing any work still waiting.
    void whenShownLongEnough(std::function<void()> work);
    void cancel();

  private:
    void check();

    std::shared_ptr<Clock> m_clock;
    std::function<bool()> m_isPaused;
    QTimer m_timer;
    std::function<void()> m_work;
    double m_startedAt = 0;
    std::optional<double> m_pauseStarted;
};

#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

// At most one pending piece of main-thread work, run once after a delay unless cancelled or replaced first.
class DelayedTask : public QObject
{
    Q_OBJECT
  public:
    explicit DelayedTask(std::chrono::milliseconds delay, QObject* parent = nullptr);

    void schedule(std::function<void()> work);
    // Runs the work after the given delay instead of the usual one.
    void schedule(std::function<void()> work, std::chrono::milliseconds delay);
    void cancel();

  private:
    std::chrono::milliseconds usualDelay;
    QTimer timer;
    std::function<void()> pending;
};

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

// Folds redraw requests into at most one redraw per interval: the first request after a quiet spell redraws at
// once, later ones wait for the interval to run out and then redraw once for all of them.
class RedrawPacer : public QObject
{
    Q_OBJECT
  public:
    RedrawPacer(std::chrono::milliseconds interval, std::function<void()> redraw, QObject* parent = nullptr);

    void request();
    // Drops a redraw still waiting, for a view that left the screen.
    void cancel() { m_timer.stop(); }

  private:
    void redraw();

    std::chrono::milliseconds m_interval;
    std::function<void()> m_redraw;
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
};

#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <optional>

// The real console program, started under the X server of $DISPLAY with a fresh home folder of its own. It finds the
// console window by its title through xwininfo (x11-utils), as a person would see it on the display.
class ConsoleProcess
{
  public:
    explicit ConsoleProcess(const QString& executable);
    ~ConsoleProcess();

    bool start();
    // Waits until the console window is mapped and viewable; its place on the screen, or nothing after the time-out.
    std::optional<QRect> waitForWindow(int timeoutMs = 30000);
    // Milliseconds from start() to the moment waitForWindow() first saw the window.
    qint64 elapsedToWindow() const { return m_windowShownAfter; }
    // Sends SIGTERM, as a service manager does, and waits for the end; false if it did not end.
    bool quit(int timeoutMs = 30000);

    QProcess& process() { return m_process; }
    QString home() const { return m_home.path(); }
    QString errorOutput() const { return m_errors; }

  private:
    std::optional<QRect> findWindow() const;

    QString m_executable;
    QTemporaryDir m_home;
    QProcess m_process;
    QElapsedTimer m_clock;
    qint64 m_windowShownAfter = -1;
    QString m_errors;
};

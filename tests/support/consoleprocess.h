#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <optional>

// The real console program, started under the X server of $DISPLAY with a fresh home folder of its own, or the one of
// another started copy. It finds the console window by its title through xwininfo (x11-utils), as a person would see
// it on the display.
class ConsoleProcess
{
  public:
    explicit ConsoleProcess(const QString& executable, const QString& home = {});
    ~ConsoleProcess();

    bool start();
    // Waits until the console window is mapped and viewable; its place on the screen, or nothing after the time-out.
    std::optional<QRect> waitForWindow(int timeoutMs = 30000);
    // Milliseconds from start() to the moment waitForWindow() first saw the window.
    qint64 elapsedToWindow() const { return m_windowShownAfter; }
    // Sends SIGTERM, as a service manager does, and waits for the end; false if it did not end.
    bool quit(int timeoutMs = 30000);

    QProcess& process() { return m_process; }
    QString home() const { return m_homePath; }
    QString recoveryFolder() const { return m_homePath + "/.local/share/Lumoria"; }
    QString errorOutput() const { return m_errors; }

  private:
    std::optional<QRect> findWindow() const;

    QString m_executable;
    QTemporaryDir m_home;
    QString m_homePath;
    QProcess m_process;
    QElapsedTimer m_clock;
    qint64 m_windowShownAfter = -1;
    QString m_errors;
};

#include "consoleprocess.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>

ConsoleProcess::ConsoleProcess(const QString& executable, const QString& home)
    : m_executable(executable), m_homePath(home.isEmpty() ? m_home.path() : home)
{
}

ConsoleProcess::~ConsoleProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool ConsoleProcess::start()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", m_homePath);
    environment.insert("XDG_CONFIG_HOME", m_homePath + "/.config");
    environment.insert("XDG_DATA_HOME", m_homePath + "/.local/share");
    environment.insert("XDG_RUNTIME_DIR", m_homePath);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_clock.start();
    m_process.start(m_executable, {});
    return m_process.waitForStarted(30000);
}

// The process that made a window, as it says itself.
static qint64 windowProcess(const QString& id)
{
    QProcess property;
    property.start("xprop", {"-id", id, "_NET_WM_PID"});
    if (!property.waitForFinished(10000) || property.exitCode() != 0)
        return -1;
    static const QRegularExpression pid(QStringLiteral(R"(= (\d+))"));
    const QRegularExpressionMatch match = pid.match(QString::fromLocal8Bit(property.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// The console's window is the one named "Lumoria" that carries the application's class (Qt's helper windows may
// share the name) and belongs to this process: tests beside it may have consoles of their own on the same display.
static QString consoleWindowId(qint64 process)
{
    QProcess tree;
    tree.start("xwininfo", {"-root", "-tree"});
    if (!tree.waitForFinished(10000) || tree.exitCode() != 0)
        return {};
    static const QRegularExpression line(QStringLiteral(R"((0x[0-9a-f]+) "Lumoria": \("lumoria")"));
    QRegularExpressionMatchIterator windows = line.globalMatch(QString::fromLocal8Bit(tree.readAllStandardOutput()));
    while (windows.hasNext()) {
        const QString id = windows.next().captured(1);
        if (windowProcess(id) == process)
            return id;
    }
    return {};
}

std::optional<QRect> ConsoleProcess::findWindow() const
{
    const QString id = consoleWindowId(m_process.processId());
    if (id.isEmpty())
        return std::nullopt;
    QProcess info;
    info.start("xwininfo", {"-id", id});
    if (!info.waitForFinished(10000) || info.exitCode() != 0)
        return std::nullopt;
    const QString text = QString::fromLocal8Bit(info.readAllStandardOutput());
    if (!text.contains("IsViewable"))
        return std::nullopt;
    auto number = [&](const QString& label) {
        const QRegularExpressionMatch match = QRegularExpression(label + ":\\s*(-?\\d+)").match(text);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    return QRect(number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"), number("Height"));
}

std::optional<QRect> ConsoleProcess::waitForWindow(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && m_process.state() == QProcess::Running) {
        if (const std::optional<QRect> window = findWindow()) {
            m_windowShownAfter = m_clock.elapsed();
            return window;
        }
        QThread::msleep(5);
    }
    return std::nullopt;
}

bool ConsoleProcess::quit(int timeoutMs)
{
    m_process.terminate();
    const bool ended = m_process.waitForFinished(timeoutMs);
    m_errors = QString::fromLocal8Bit(m_process.readAllStandardError());
    return ended;
}

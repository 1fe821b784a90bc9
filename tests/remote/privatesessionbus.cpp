#include "privatesessionbus.h"

#include <QDeadlineTimer>

PrivateSessionBus::~PrivateSessionBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }
}

bool PrivateSessionBus::start(QString& why)
{
    m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--nopidfile", "--print-address=1"});
    if (!m_daemon.waitForStarted(10000)) {
        why = "dbus-daemon cannot be started: " + m_daemon.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!m_daemon.canReadLine() && !deadline.hasExpired() && m_daemon.state() == QProcess::Running)
        m_daemon.waitForReadyRead(500);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        why = "dbus-daemon gave no address: " + QString::fromUtf8(m_daemon.readAllStandardError());
    return !m_address.isEmpty();
}

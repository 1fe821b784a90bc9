#include "oscdump.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

namespace {

// /proc lists bound sockets with the local port in hexadecimal after the address.
bool udpPortBound(quint16 port)
{
    const QByteArray needle = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0') + ' ';
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        QFile file(QString::fromLatin1(table));
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(needle))
            return true;
    }
    return false;
}

} // namespace

bool OscDump::available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("oscdump")).isEmpty();
}

OscDump::OscDump(quint16 port) : m_port(port)
{
    m_process.start(QStringLiteral("oscdump"), {QStringLiteral("-L"), QString::number(port)});
}

OscDump::~OscDump()
{
    m_process.kill();
    m_process.waitForFinished(2000);
}

bool OscDump::waitUntilListening(int timeoutMilliseconds)
{
    const QDeadlineTimer deadline(timeoutMilliseconds);
    while (!udpPortBound(m_port)) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(10);
    }
    return true;
}

std::optional<QString> OscDump::nextMessage(int timeoutMilliseconds)
{
    const QDeadlineTimer deadline(timeoutMilliseconds);
    while (!m_pending.contains('\n')) {
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return std::nullopt;
        m_process.waitForReadyRead(50);
        m_pending += m_process.readAllStandardOutput();
    }
    const qsizetype end = m_pending.indexOf('\n');
    const QString line = QString::fromUtf8(m_pending.left(end));
    m_pending.remove(0, end + 1);
    return line.section(QLatin1Char(' '), 1);
}

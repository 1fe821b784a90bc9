#include "stallablemount.h"

#include "eventwait.h"

#include <QDir>
#include <QFile>
#include <csignal>

StallableMount::StallableMount(const QString& backing, const QString& mount, const QString& control)
    : m_backing(backing), m_mount(mount), m_control(control)
{
}

StallableMount::~StallableMount()
{
    thaw();
    answer();
    delay(0, 0);
    if (mounted())
        QProcess::execute("/usr/bin/umount", {"-l", m_mount});
    m_daemon.kill();
    m_daemon.waitForFinished();
}

QString StallableMount::mountOrSayWhy()
{
    if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/lib/python3/dist-packages/fusepy.py"))
        return "no FUSE here";
    if (!QDir().mkpath(m_backing) || !QDir().mkpath(m_mount))
        return "cannot make the folders";
    m_daemon.start("/usr/bin/python3", {LUMO_STALLABLE_FS, m_backing, m_mount, m_control});
    if (!m_daemon.waitForStarted() || !waitUntil([&] { return mounted(); }, 10000))
        return "cannot mount: " + QString::fromLocal8Bit(m_daemon.readAllStandardError());
    return {};
}

void StallableMount::stall()
{
    stallOnly({});
}

void StallableMount::stallOnly(const QStringList& operations)
{
    QFile::remove(m_control + ".held");
    QFile control(m_control);
    if (control.open(QIODevice::WriteOnly))
        control.write(operations.join(QLatin1Char(' ')).toUtf8());
}

void StallableMount::answer()
{
    QFile::remove(m_control);
}

QStringList StallableMount::heldRequests() const
{
    QFile held(m_control + ".held");
    if (!held.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(held.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void StallableMount::delay(double least, double most)
{
    QFile late(m_control + ".delay");
    if (most <= 0) {
        late.remove();
        return;
    }
    if (late.open(QIODevice::WriteOnly))
        late.write(QByteArray::number(least) + ' ' + QByteArray::number(most));
}

qint64 StallableMount::requestsAnswered() const
{
    QFile requests(m_control + ".requests");
    return requests.open(QIODevice::ReadOnly) ? requests.readAll().trimmed().toLongLong() : 0;
}

// Returns once every thread of the daemon has stopped: a thread still on its way to stopping could yet take a request
// made just after, which would then hold its asker until the daemon goes on.
void StallableMount::freeze()
{
    if (m_daemon.state() != QProcess::Running)
        return;
    const qint64 pid = m_daemon.processId();
    ::kill(pid_t(pid), SIGSTOP);
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    waitUntil([&] {
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks.filePath(task + "/stat"));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // The state follows the name, which is in brackets and may hold any character.
            const QByteArray line = stat.readAll();
            const qsizetype state = line.lastIndexOf(')') + 2;
            if (state < line.size() && line[state] != 'T' && line[state] != 't')
                return false;
        }
        return true;
    });
}

void StallableMount::thaw()
{
    if (m_daemon.state() == QProcess::Running)
        ::kill(pid_t(m_daemon.processId()), SIGCONT);
}

bool StallableMount::mounted() const
{
    QFile mounts("/proc/self/mounts");
    return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(" " + QFile::encodeName(m_mount) + " ");
}

bool StallableMount::holdsAThreadOf(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile channel(tasks.filePath(task + "/wchan"));
        if (channel.open(QIODevice::ReadOnly) && channel.readAll() == "request_wait_answer")
            return true;
    }
    return false;
}

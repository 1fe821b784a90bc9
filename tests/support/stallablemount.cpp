#include "stallablemount.h"

#include "eventwait.h"

#include <QDir>
#include <QFile>

StallableMount::~StallableMount()
{
    answer();
    if (mounted())
        QProcess::execute("/usr/bin/umount", {"-l", path()});
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

QString StallableMount::start()
{
    if (!QFile::exists("/dev/fuse") || !QFile::exists("/usr/lib/python3/dist-packages/fusepy.py"))
        return QStringLiteral("no FUSE here");
    if (!QDir().mkpath(backing()) || !QDir().mkpath(path()))
        return QStringLiteral("cannot make the folders");
    m_daemon.start("/usr/bin/python3", {LUMO_STALLABLE_FS, backing(), path(), m_folder.filePath("stall")});
    if (!m_daemon.waitForStarted() || !waitUntil([&] { return mounted(); }, 10000))
        return QStringLiteral("cannot mount: ") + QString::fromLocal8Bit(m_daemon.readAllStandardError());
    return {};
}

void StallableMount::stall()
{
    QFile(m_folder.filePath("stall")).open(QIODevice::WriteOnly);
}

void StallableMount::answer()
{
    QFile::remove(m_folder.filePath("stall"));
}

bool StallableMount::mounted() const
{
    QFile mounts("/proc/self/mounts");
    return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(" " + QFile::encodeName(path()) + " ");
}

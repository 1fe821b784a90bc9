#include "threadnice.h"

#include <QDir>
#include <QFile>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ThreadNice {

QList<pid_t> threadsNamed(const QString& prefix)
{
    QList<pid_t> found;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && QString::fromUtf8(comm.readAll()).startsWith(prefix))
            found.append(task.toInt());
    }
    return found;
}

int niceOf(pid_t thread)
{
    return getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
}

int ownNice()
{
    return niceOf(static_cast<pid_t>(syscall(SYS_gettid)));
}

} // namespace ThreadNice

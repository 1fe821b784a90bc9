#pragma once

#include <QList>
#include <QString>
#include <sys/types.h>

// This process's threads as the kernel sees them, for tests of which thread runs at what priority.
namespace ThreadNice {

// The kernel ids of the threads whose name starts with the prefix.
QList<pid_t> threadsNamed(const QString& prefix);
// A thread's nice level (Linux keeps one for each thread).
int niceOf(pid_t thread);
// The calling thread's.
int ownNice();

} // namespace ThreadNice

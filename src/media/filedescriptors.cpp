#include "filedescriptors.h"

#include "fileerrortext.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <sys/resource.h>

namespace {

// Left free for everything that is not a player: the display connection's fd passing, a file dialog, the
// remote's sockets, a project file and its recovery copy.
constexpr int kReserve = 64;

int softLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > INT_MAX)
        return INT_MAX;
    return int(limit.rlim_cur);
}

} // namespace

namespace FileDescriptors {

void raiseLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

int openCount()
{
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder)
        return errno == EMFILE || errno == ENFILE ? INT_MAX : -1;
    int count = 0;
    while (const dirent* entry = ::readdir(folder))
        if (entry->d_name[0] != '.')
            ++count;
    ::closedir(folder);
    // The listing's own descriptor is counted but closed again.
    return count - 1;
}

bool canSpare(int count)
{
    const int limit = softLimit();
    if (limit == INT_MAX)
        return true;
    const int open = openCount();
    // Without /proc the count is unknown; opening is tried and its failure reported as any other.
    return open < 0 || (open != INT_MAX && open + count + kReserve <= limit);
}

QString shortageText()
{
    return fileErrorText(EMFILE);
}

} // namespace FileDescriptors

DescriptorShortage& DescriptorShortage::shared()
{
    static DescriptorShortage* shortage = new DescriptorShortage;
    return *shortage;
}

void DescriptorShortage::report()
{
    QMetaObject::invokeMethod(this, &DescriptorShortage::ranOut, Qt::QueuedConnection);
}

#include "belowshowclock.h"

#include <algorithm>
#include <cerrno>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
// Enough for the scheduler to hand a waking main thread the core at once, not so much that media work starves when
// another program is busy.
constexpr int kNiceLevelsBelow = 5;
constexpr int kLowestNice = 19;
} // namespace

void runBelowShowClock()
{
    int policy = SCHED_OTHER;
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy != SCHED_OTHER) {
        param.sched_priority = 0;
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
    }
    // On Linux a nice level belongs to the thread named here, not to the whole process.
    const auto thread = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, std::min(nice + kNiceLevelsBelow, kLowestNice));
}

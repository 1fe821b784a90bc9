#include "threadstacks.h"

#include <cstdio>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

void printEveryThreadsStack()
{
    // Where ptrace is limited to a process's own descendants, gdb must be let in explicitly.
    prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    const std::string pid = std::to_string(getpid());
    std::fflush(stderr);
    const pid_t child = fork();
    if (child < 0) {
        std::fprintf(stderr, "no stacks: could not start gdb\n");
        return;
    }
    if (child == 0) {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        execlp("gdb", "gdb", "-p", pid.c_str(), "-batch", "-nx", "-ex", "thread apply all bt", nullptr);
        std::fprintf(stderr, "no stacks: gdb is not installed\n");
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
}

#include "twoscreenserver.h"

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

TwoScreenServer::TwoScreenServer()
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        close(pipeEnds[0]);
        // Goes with the test program, however that ends; keeps nothing of its output streams.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        const QByteArray fd = QByteArray::number(pipeEnds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-noreset", "-nolisten", "tcp", "-screen", "0",
               "1280x720x24", "-screen", "1", "1920x1080x24", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    // The server writes its display number once it accepts clients.
    char buffer[32];
    QByteArray number;
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0 && !number.contains('\n'))
        number.append(buffer, got);
    close(pipeEnds[0]);
    if (!number.trimmed().isEmpty())
        m_display = ':' + number.trimmed();
}

TwoScreenServer::~TwoScreenServer()
{
    if (m_pid <= 0)
        return;
    // The server can miss a SIGTERM that comes as it goes back to waiting for clients: it then waits for ever.
    kill(m_pid, SIGTERM);
    for (int waited = 0; waited < 500; ++waited) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid)
            return;
        usleep(10000);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}

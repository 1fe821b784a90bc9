#include "quitonsignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};
bool handlesHangUp = false;

// Only async-signal-safe work here: the signal's number, in one byte, to the event loop.
void passOn(int signal)
{
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}
} // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1)
            onSignal(byte);
    });
    struct sigaction action = {};
    action.sa_handler = passOn;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    // A console started under nohup keeps running when its terminal closes.
    struct sigaction hangUp = {};
    sigaction(SIGHUP, nullptr, &hangUp);
    handlesHangUp = hangUp.sa_handler != SIG_IGN;
    if (handlesHangUp)
        sigaction(SIGHUP, &action, nullptr);
}

// The quit a SIGTERM asks for may wait for the recovery copy and ask the operator; the notifier is heard again
// meanwhile, so that a second signal ends the run. Ending leaves every event loop, a question's included, without
// closing a window that would ask.
void QuitOnSignal::onSignal(int signal)
{
    if (signal == SIGTERM && m_askToQuit && m_askToQuit())
        return;
    QCoreApplication::exit(0);
}

QuitOnSignal::~QuitOnSignal()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    if (handlesHangUp)
        std::signal(SIGHUP, SIG_DFL);
    delete m_notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

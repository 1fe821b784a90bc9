#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <fcntl.h>
#include <future>
#include <sys/file.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
const QByteArray forwardRequest = "forward\n";
const QByteArray forwardDone = "ok\n";

// The socket lives in the user's runtime folder (a recovery folder on a network share may not hold sockets), named
// for the recovery folder it guards.
QString socketPathFor(const QString& recoveryDirectory)
{
    const QByteArray folder = QDir(recoveryDirectory).absolutePath().toUtf8();
    const QString name =
        QStringLiteral("lumoria-") +
        QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(name);
}
} // namespace

namespace {
struct Lock
{
    int fd = -1;
    bool first = false;
};

Lock takeLock(const QString& recoveryDirectory)
{
    Lock lock;
    if (!QDir().mkpath(recoveryDirectory))
        return lock;
    const QByteArray lockPath = QFile::encodeName(QDir(recoveryDirectory).filePath(QStringLiteral("console.lock")));
    lock.fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file left in a folder that became read-only still serves: a lock needs no writing.
    if (lock.fd < 0)
        lock.fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC);
    if (lock.fd < 0)
        return lock;
    // The kernel lets go of the lock when the process ends, however it ends.
    lock.first = ::flock(lock.fd, LOCK_EX | LOCK_NB) == 0;
    return lock;
}
} // namespace

// The folder is asked on a thread of its own: one on a share that stopped answering holds that thread, and the
// start gives up on it.
SingleInstance::SingleInstance(const QString& recoveryDirectory, std::chrono::milliseconds folderWait, QObject* parent)
    : QObject(parent), m_socketPath(socketPathFor(recoveryDirectory))
{
    std::packaged_task<Lock()> task([recoveryDirectory] { return takeLock(recoveryDirectory); });
    std::future<Lock> taken = task.get_future();
    try {
        std::thread(std::move(task)).detach();
    } catch (const std::system_error&) {
        return;
    }
    if (taken.wait_for(folderWait) != std::future_status::ready) {
        m_folderAnswered = false;
        return;
    }
    const Lock lock = taken.get();
    m_lock = lock.fd;
    m_first = lock.first;
    if (m_first)
        listen();
}

// The lock file stays open: the kernel lets go of it as the process ends, and closing a file on a share that
// stopped answering would wait for the share.
SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

void SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Holding the lock, this copy owns the name: a socket left by a copy that was killed is stale.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        return;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine())
                    return;
                if (peer->readLine() == forwardRequest) {
                    emit forwardRequested();
                    peer->write(forwardDone);
                }
                peer->disconnectFromServer();
            });
        }
    });
}

// The running copy may be starting and not listen yet: the request is tried again until the time is up.
bool SingleInstance::bringRunningCopyForward(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(int(deadline.remainingTime()))) {
            socket.write(forwardRequest);
            socket.waitForBytesWritten(int(deadline.remainingTime()));
            while (!socket.canReadLine() && socket.waitForReadyRead(int(deadline.remainingTime()))) {
            }
            return socket.canReadLine() && socket.readLine() == forwardDone;
        }
        QThread::msleep(50);
    }
    return false;
}

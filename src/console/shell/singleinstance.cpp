#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
const QByteArray forwardRequest = "forward\n";
const QByteArray forwardDone = "ok\n";
} // namespace

// The socket lives in the user's runtime folder (a recovery folder on a network share may not hold sockets), named
// for the recovery folder it guards.
QString SingleInstance::socketPathFor(const QString& recoveryDirectory)
{
    const QByteArray folder = QDir(recoveryDirectory).absolutePath().toUtf8();
    const QString name =
        QStringLiteral("lumoria-") +
        QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(name);
}

SingleInstance::Lock SingleInstance::takeLock(const QString& recoveryDirectory)
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

SingleInstance::SingleInstance(Lock lock, const QString& socketPath, QObject* parent)
    : QObject(parent), m_lock(lock), m_socketPath(socketPath)
{
    if (m_lock.fd >= 0 && m_lock.first)
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

#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One console per recovery folder. The first copy holds a lock on a file in the folder for its whole life and
// answers on a local socket; a later start finds the lock taken, asks the running copy to come forward and ends
// without touching the folder, whose recovery copies belong to the running copy.
class SingleInstance : public QObject
{
    Q_OBJECT
  public:
    struct Lock
    {
        // The open lock file; -1 when the folder could not hold one.
        int fd = -1;
        bool first = false;
    };

    // Both ask the disk: the start does so aside, with its other folders (startfolders.h).
    static Lock takeLock(const QString& recoveryDirectory);
    static QString socketPathFor(const QString& recoveryDirectory);

    // lock: as taken for the recovery folder; socketPath: socketPathFor() of it.
    SingleInstance(Lock lock, const QString& socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when another copy runs over the same folder. A folder that cannot hold the lock (not writable) cannot
    // be harmed by a second copy either: the start goes on.
    bool isFirst() const { return m_lock.fd < 0 || m_lock.first; }
    // For a later start: asks the running copy to bring its console forward; false if it did not answer in time.
    bool bringRunningCopyForward(int timeoutMs = 5000) const;

  signals:
    // A later start asked for the console.
    void forwardRequested();

  private:
    void listen();

    Lock m_lock;
    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

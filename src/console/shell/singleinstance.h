#pragma once

#include <QObject>
#include <QString>
#include <chrono>

class QLocalServer;

// One console per recovery folder. The first copy holds a lock on a file in the folder for its whole life and
// answers on a local socket; a later start finds the lock taken, asks the running copy to come forward and ends
// without touching the folder, whose recovery copies belong to the running copy.
class SingleInstance : public QObject
{
    Q_OBJECT
  public:
    // How long a start waits for its recovery folder to answer.
    static constexpr std::chrono::seconds kFolderWait{5};

    explicit SingleInstance(const QString& recoveryDirectory, std::chrono::milliseconds folderWait = kFolderWait,
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when the recovery folder gave no answer in time (a share that stopped answering): the console could
    // keep no recovery copy there, and would hang on its way out.
    bool folderAnswered() const { return m_folderAnswered; }
    // False when another copy runs over the same folder. A folder that cannot hold the lock (not writable) cannot
    // be harmed by a second copy either: the start goes on.
    bool isFirst() const { return m_lock < 0 || m_first; }
    // For a later start: asks the running copy to bring its console forward; false if it did not answer in time.
    bool bringRunningCopyForward(int timeoutMs = 5000) const;

  signals:
    // A later start asked for the console.
    void forwardRequested();

  private:
    void listen();

    int m_lock = -1;
    bool m_first = false;
    bool m_folderAnswered = true;
    QString m_socketPath;
    QLocalServer* m_server = nullptr;
};

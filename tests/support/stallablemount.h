#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// A real FUSE folder (stallablefs.py) that stops answering on demand, as a network share does: the kernel holds
// every question about it until the file system answers, or for at most 20 s. Needs /dev/fuse and python3-fusepy.
class StallableMount
{
  public:
    // backing holds the files; mount is where they are seen; both are made.
    StallableMount(const QString& backing, const QString& mount, const QString& control);
    ~StallableMount();

    // Why it cannot be mounted here; empty once mounted.
    QString mountOrSayWhy();
    void stall();
    // Only these operations of the file system wait ("opendir", "readdir", "read"...); the rest are answered.
    void stallOnly(const QStringList& operations);
    void answer();
    // The requests held since the share last stopped answering, oldest first, each its operation and path
    // ("getattr /clip.mp4").
    QStringList heldRequests() const;
    // Every request answered this many seconds late; 0 for at once.
    void delay(double seconds) { delay(seconds, seconds); }
    // Every request answered late by a time drawn anew between the two, as a busy share answers.
    void delay(double least, double most);
    // The file system's daemon stopped (SIGSTOP) and continued, as a share that stops answering altogether: the
    // kernel keeps the requests waiting, and a process that ends lets go of them. (A request the daemon has taken and
    // not answered holds its thread until the answer, however the process ends.)
    void freeze();
    void thaw();
    // Requests the file system has answered since it was mounted.
    qint64 requestsAnswered() const;
    QString mount() const { return m_mount; }
    // Whether a thread of the process waits for a FUSE file system to answer (one that took the request and holds it,
    // as a stalled share does).
    static bool holdsAThreadOf(qint64 pid);
    QString backing() const { return m_backing; }

  private:
    bool mounted() const;

    QString m_backing;
    QString m_mount;
    QString m_control;
    QProcess m_daemon;
};

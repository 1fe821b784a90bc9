#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A folder on a real FUSE mount (stallablefs.py) that stops answering when told, as a network share does: the kernel
// holds every question about it, from any process, until the file system answers again (or 20 s have passed).
// Needs /dev/fuse and python3-fusepy; start() says why not where they are missing.
class StallableMount
{
  public:
    ~StallableMount();

    // Mounts it; an empty text when it is mounted, else why not.
    QString start();
    // The mounted folder, and the one holding it.
    QString path() const { return m_folder.filePath("share"); }
    QString parentPath() const { return m_folder.path(); }
    // Where its files really lie: written here, they are seen in the mount.
    QString backing() const { return m_folder.filePath("backing"); }
    void stall();
    void answer();

  private:
    bool mounted() const;

    QTemporaryDir m_folder;
    QProcess m_daemon;
};

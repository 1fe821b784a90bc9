#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

// Writes settings to their file on a thread of its own, so that a settings file on a share that stopped answering
// never holds the caller. The newest value of each key wins: values given while a write is on its way follow it in
// one more write, and so do values whose write failed (a full disk, a folder that cannot be written). The thread
// lives only while there is something to write.
class SettingsWriter
{
  public:
    // How long going away waits for the values still to be written.
    static constexpr int kLastWritesMs = 3000;
    // A write that failed: the keys it held, and why, in Chinese. Called on the writer's thread with the writer's
    // lock held: it must only hand the news on (post it), never call back into the writer.
    using Failed = std::function<void(const QStringList& keys, const QString& why)>;

    // An empty file name means the user's settings of organisation and application "Lumoria".
    explicit SettingsWriter(const QString& fileName);
    // Waits kLastWritesMs at most for what is still to be written, unless finishWriting() has said what is not in
    // the file already; says on stderr what it could not write.
    ~SettingsWriter();

    void write(const QString& key, const QVariant& value);
    // Told of every write that fails from now on; an empty one tells nobody, and once set, no call of the one
    // before is under way or to come.
    void setFailed(Failed failed);
    // Waits until every value given so far has been written or has failed, or until the deadline; then says on stderr
    // which values are not in the file (held by a silent folder, or failed) and leaves those on their way to the
    // thread, waiting no more.
    void finishWriting(QDeadlineTimer deadline);
    // Whether every value given so far is in the file.
    bool written() const;
    // Whether no value given so far is still on its way to the file: each is in it, or its write failed.
    bool settled() const;

    // Waits for every writer's thread to end, a writer gone included; false when one is still held by its folder
    // after the time is up. A process that ends must not tear Qt down under such a thread.
    static bool waitForAll(int timeoutMs);

  private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);
    void startThread();

    std::shared_ptr<Shared> m_shared;
    // finishWriting() has said what is not in the file: going away waits no more.
    bool m_said = false;
};

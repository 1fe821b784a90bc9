#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// Writes settings to their file on a thread of its own, so that a settings file on a share that stopped answering
// never holds the caller. The newest value of each key wins: values given while a write is on its way follow it in
// one more write. The thread lives only while there is something to write.
class SettingsWriter
{
  public:
    // How long going away waits for the values still to be written.
    static constexpr int kLastWritesMs = 3000;

    // An empty file name means the user's settings of organisation and application "Lumoria".
    explicit SettingsWriter(const QString& fileName);
    // Waits kLastWritesMs at most for what is still to be written, unless finishWriting() gave up on it already;
    // says on stderr what it could not write.
    ~SettingsWriter();

    void write(const QString& key, const QVariant& value);
    // Waits until every value given so far is in the file, or until the deadline; then says on stderr which values
    // it could not write and leaves them to the thread, waiting no more.
    void finishWriting(QDeadlineTimer deadline);
    // Whether every value given so far is in the file.
    bool written() const;

    // Waits for every writer's thread to end, a writer gone included; false when one is still held by its folder
    // after the time is up. A process that ends must not tear Qt down under such a thread.
    static bool waitForAll(int timeoutMs);

  private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);
    void startThread();

    std::shared_ptr<Shared> m_shared;
    bool m_gaveUp = false;
};

#pragma once

#include "singleinstance.h"

#include <QString>
#include <chrono>
#include <optional>

// The folders a start reads before its window shows, nearly all under the home folder: Qt's own configuration and
// the settings, the X authority file, the runtime folder with the console's socket, the caches (fontconfig's,
// GStreamer's registry) and the recovery folder with the console's lock. A share that stopped answering would hold
// the start in whichever of them comes first, with no word; so before Qt starts they are asked in that order on a
// thread of their own, and a start that gets no answer within the wait names the one that was silent.
class StartFolders
{
  public:
    // How long a start waits for its folders to answer.
    static constexpr std::chrono::seconds kWait{5};

    // The folder that gave no answer: what it is, in the operator's words, and where.
    struct Silent
    {
        QString what;
        QString path;
    };

    // Asks each folder in turn, then takes the console's lock in the recovery folder.
    explicit StartFolders(const QString& recoveryDirectory, std::chrono::milliseconds wait = kWait);

    // Nothing when every folder answered in time.
    std::optional<Silent> silent() const { return m_silent; }
    // Valid once every folder answered.
    SingleInstance::Lock lock() const { return m_lock; }
    QString socketPath() const { return m_socketPath; }

  private:
    std::optional<Silent> m_silent;
    SingleInstance::Lock m_lock;
    QString m_socketPath;
};

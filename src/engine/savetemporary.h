#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <sys/types.h>

class FilePulse;

// A save writes the new file beside its target as "<target name>.lumoria-XXXXXX.tmp" and holds a lock on it until it
// has taken the target's place. A name too long for that is cut, with a digest of the whole name, so that every name
// the folder takes can be saved. A file that a killed save left holds no lock, and the next save or open of the same
// target removes it.

// Where a save lands: a link is followed, so that it still points at the show afterwards.
QString saveTarget(const QString& path);
// Creates the locked file beside target, with the given permissions (the usual ones when absent); -1 with errno set
// on failure.
int createSaveTemporary(const QString& target, std::optional<mode_t> mode, QByteArray& temporary);
// Removes what killed saves of the file at path left beside it, never one that a running save holds. A pulse, when
// given, is told of every call on the file system; a job given up stops there.
void removeStaleSaveTemporaries(const QString& path, FilePulse* pulse = nullptr);

#pragma once

#include <QString>
#include <QUrl>
#include <QtGlobal>

// Whether a path names a regular file (links followed) that this process may read. Devices, FIFOs and folders
// fail: reading them can block for ever or never end. Every media and project path is tested here before it is
// opened.
bool isReadableFileAt(const QString& path);
// The same for a media reference: a local file URL whose path passes.
bool isReadableFile(const QUrl& url);
// Why a path fails the test, for the operator: missing, not a regular file, or not readable.
QString unreadableFileText(const QString& path);

// What the disk says of a file at one moment, from one stat: whether a regular file is there, which one (device and
// inode: a file replaced under the same name is another), its size and its modification time. Two equal stamps
// mean nothing that can be told without reading the file has changed in between.
struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    // Nanoseconds since the epoch.
    qint64 modified = 0;

    bool operator==(const FileStamp&) const = default;
};
FileStamp fileStampAt(const QString& path);
// The stamp of a local file URL's path; a URL of anything else has no file.
FileStamp fileStamp(const QUrl& url);

#pragma once

#include <QString>
#include <QUrl>

// Whether a path names a regular file (links followed) that this process may read. Devices, FIFOs and folders
// fail: reading them can block for ever or never end. Every media and project path is tested here before it is
// opened.
bool isReadableFileAt(const QString& path);
// The same for a media reference: a local file URL whose path passes.
bool isReadableFile(const QUrl& url);
// Why a path fails the test, for the operator: missing, not a regular file, or not readable.
QString unreadableFileText(const QString& path);

#pragma once

#include "show.h"
#include "showjson.h"

#include <QString>
#include <stdexcept>

class FilePulse;

// A project or recovery file that could not be read or written; the text says which file and why.
class ProjectFileError : public std::runtime_error
{
  public:
    explicit ProjectFileError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    // The whole text: what() ends at the first NUL that a quoted value may hold.
    QString text() const { return m_text; }

  private:
    QString m_text;
};

// Far above any show the console can hold; a larger file is refused before it is read, and never written.
constexpr qint64 kLargestProjectFile = qint64(512) << 20;

// Reads and decodes a show; throws ProjectFileError. Only a regular file up to the limit is read: a folder, a FIFO
// or a device is refused before reading, without waiting on it. A pulse, when given, is told of every call on the
// file system and of the bytes read.
Show readShowFile(const QString& path, qint64 limit = kLargestProjectFile, FilePulse* pulse = nullptr);
// Encodes and replaces the file atomically, making missing parent folders; throws ProjectFileError and then
// leaves any previous file as it was. A show whose file would pass the limit, or a file that may not be written (one
// made read-only, for root too), is refused before anything is touched. A pulse, when given, is told as in reading.
// Either stops, throwing, once its pulse is given up; a write does so unless it has begun to replace the file.
void writeShowFile(const Show& show, const QString& path, JsonFormat format, qint64 limit = kLargestProjectFile,
                   FilePulse* pulse = nullptr);

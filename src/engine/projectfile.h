#pragma once

#include "show.h"
#include "showjson.h"

#include <QString>
#include <stdexcept>

// A project or recovery file that could not be read or written; the text says which file and why.
class ProjectFileError : public std::runtime_error
{
public:
    explicit ProjectFileError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Reads and decodes a show; throws ProjectFileError.
Show readShowFile(const QString& path);
// Encodes and replaces the file atomically, making missing parent folders; throws ProjectFileError and then
// leaves any previous file as it was.
void writeShowFile(const Show& show, const QString& path, JsonFormat format);

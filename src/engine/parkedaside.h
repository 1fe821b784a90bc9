#pragma once

#include <QString>
#include <QStringList>

// Unsaved work on offer is never written over by newer work: it moves aside within its folder to
// "<name>-<the time it was written>.json" (with "-2", "-3", … where that name is taken), where no other file is
// replaced. The operator finds it there and opens it as a project.

// Moves the file at path aside, beside the parked copy at parkedPath and named after it, and returns where it went;
// throws ProjectFileError when it cannot be moved, and then it stays where it was.
QString setParkedWorkAside(const QString& path, const QString& parkedPath);

// Whether the two files hold the same bytes; false when either cannot be read.
bool sameFileContents(const QString& first, const QString& second);

// What the status line says of work moved aside.
QString setAsideText(const QStringList& paths);

#pragma once

#include "show.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

// Failure to read or write a project file; the text names where in the document it happened.
class ShowJsonError : public std::runtime_error
{
  public:
    explicit ShowJsonError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    // The whole text: what() ends at the first NUL that a quoted value may hold.
    QString text() const { return m_text; }

  private:
    QString m_text;
};

// A well-formed show that passes the limits of showlimits.h; the text says which and by how much.
class ShowLimitError : public ShowJsonError
{
  public:
    using ShowJsonError::ShowJsonError;
};

enum class JsonFormat {
    pretty, // the project file: indented, keys sorted
    compact // the recovery copy
};

// Throws ShowJsonError when a double is not finite (it could not be read back).
QByteArray encodeShow(const Show& show, JsonFormat format);
// Throws ShowJsonError naming the first bad place (e.g. "cues[2].ending：未知的值 \"Hold\""); never half-reads.
// A show over the limits is refused with ShowLimitError.
Show decodeShow(const QByteArray& bytes);

// A single mapping, for the renderer and tests that work on one record.
QByteArray encodeMapping(const ProjectorMapping& mapping);
ProjectorMapping decodeMapping(const QByteArray& bytes);

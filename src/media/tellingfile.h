#pragma once

#include "filecall.h"

#include <QFile>
#include <optional>

// A file whose every open, look at its size, seek and read is a FileCall: a long look at a header on a slow share
// shows that the share answers, one call at a time. For glances at a file as it stands, not for one that grows.
class TellingFile : public QFile
{
  public:
    using QFile::QFile;
    // Closing asks the share to let go of the file.
    ~TellingFile() override
    {
        const FileCall call;
        close();
    }

    bool open(OpenMode mode) override
    {
        const FileCall call;
        return QFile::open(mode);
    }
    // Asked of the share once: a glance takes the file as it found it.
    qint64 size() const override
    {
        if (!m_size) {
            const FileCall call;
            m_size = QFile::size();
        }
        return *m_size;
    }
    bool seek(qint64 offset) override
    {
        const FileCall call;
        return QFile::seek(offset);
    }

  protected:
    qint64 readData(char* data, qint64 length) override
    {
        const FileCall call;
        return QFile::readData(data, length);
    }

  private:
    mutable std::optional<qint64> m_size;
};

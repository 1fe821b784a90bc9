#pragma once

#include "mediafiles.h"

#include <QList>
#include <QObject>
#include <QUrl>
#include <functional>

// Work that needs the disk's answers about media files, run on the main thread once every file has answered or
// lies in a folder that stalled: nothing waits for the answers meanwhile. Work goes in the order it was given.
class AwaitedFiles : public QObject
{
    Q_OBJECT
  public:
    // known: an answer the disk gave before will do. fresh: each file is asked again, and its new answer is awaited.
    enum class Freshness { known, fresh };

    AwaitedFiles(MediaFiles& files, QObject* parent = nullptr);

    // Runs `then` at once when every file has its answer already.
    void await(const QList<QUrl>& urls, FileDepth depth, Freshness freshness, std::function<void()> then);
    void cancelAll() { m_waiting.clear(); }
    bool waiting() const { return !m_waiting.isEmpty(); }

  private:
    struct Work
    {
        QList<QUrl> urls;
        FileDepth depth;
        Freshness freshness;
        std::function<void()> then;
    };
    bool settled(const Work& work) const;
    void runSettled();

    MediaFiles& m_files;
    QList<Work> m_waiting;
};

#pragma once

#include "mediaasset.h"

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUuid>
#include <optional>

class Engine;

// Measures the lengths the show's video and audio entries lack, one file at a time off the main thread, in library
// order, and hands each to the engine as a measurement (no edit of the show). A new pass starts whenever the list of
// video and audio entries changes; the pass before it stores nothing more. A file that cannot be measured is
// skipped and tried again in the next pass.
class MediaDurationLoader : public QObject
{
    Q_OBJECT
  public:
    explicit MediaDurationLoader(Engine& engine, QObject* parent = nullptr);

    bool measuring() const { return m_watcher.isRunning(); }

  signals:
    // A pass went through its whole list.
    void passFinished();

  private:
    QList<QUuid> timedAssetIds() const;
    void restartIfListChanged();
    void measureNext();
    void measured();

    QPointer<Engine> m_engine;
    QList<QUuid> m_key;
    QList<MediaAsset> m_pass;
    int m_next = 0;
    // The list changed while a file was being measured: its answer is dropped and a new pass begins after it.
    bool m_restartPending = false;
    std::optional<MediaAsset> m_measuring;
    bool m_made = false;
    QFutureWatcher<std::optional<double>> m_watcher;
};

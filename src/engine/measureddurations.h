#pragma once

#include "show.h"

#include <QHash>
#include <QList>
#include <QUrl>
#include <QUuid>
#include <optional>
#include <utility>

// Lengths of media files as the machine measured them, by library entry and file. A measurement is no edit of the
// operator's: it is kept apart from the undo history and filled into any show the history brings back.
class MeasuredDurations
{
  public:
    void record(const QUuid& asset, const QUrl& url, double seconds);
    // Fills the measured length into every entry of the show that has none and still names the measured file;
    // tells whether anything changed.
    bool fillIn(Show& show) const;
    // The same for the entries of that id alone: one measurement costs a look along the library, not a look-up of
    // every entry.
    bool fillIn(Show& show, const QUuid& asset) const;

  private:
    std::optional<double> secondsOf(const MediaAsset& asset) const;

    // By entry, then the files it named when measured.
    QHash<QUuid, QList<std::pair<QUrl, double>>> m_seconds;
};

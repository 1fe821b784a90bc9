#pragma once

#include "show.h"

#include <QHash>
#include <QUrl>
#include <QUuid>
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

  private:
    QHash<std::pair<QUuid, QString>, double> m_seconds;
};

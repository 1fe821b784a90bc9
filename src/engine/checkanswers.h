#pragma once

#include "show.h"

#include <QList>
#include <QUrl>

class MediaFiles;

// The disk's answers that the playback check of some cues needs, asked ahead of everything asked in the background.
// A file the disk last called missing or unusable may be in place now: it is asked again, and only its new answer
// will do, however recent the one before.
class CheckAnswers
{
  public:
    // Needs no answer.
    CheckAnswers() = default;
    CheckAnswers(MediaFiles& files, const QList<Cue>& cues, const QList<MediaAsset>& assets);

    // Every answer is in, or lies in a folder that stalled. Each call looks on from the first file still waiting.
    bool in(MediaFiles& files) const;

  private:
    QList<QUrl> m_files;
    QList<QUrl> m_doubtful;
    // The files before these are in, counted since the folders last stalled and answered again.
    mutable qsizetype m_inUpTo = 0;
    mutable qsizetype m_doubtfulInUpTo = 0;
    mutable quint64 m_revivals = 0;
};

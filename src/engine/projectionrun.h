#pragma once

#include "cue.h"
#include "enums.h"
#include "mediaasset.h"

#include <QList>
#include <QString>
#include <optional>

// The cues of an automatic run and its media library, both copied when the run began so that edits made meanwhile
// leave the run alone, and which of the cues is on air.
class ProjectionRun
{
  public:
    ProjectionRun() = default;
    ProjectionRun(ProjectionMode mode, QList<Cue> cues, QList<MediaAsset> assets);

    const QList<MediaAsset>& assets() const { return m_assets; }
    const Cue& cueOnAir() const { return m_cues.at(m_index); }
    // "2 / 5" for the second of five cues.
    QString position() const;
    // The cue the run plays after the one on air: the first again when the run repeats.
    std::optional<Cue> following() const;
    // Moves on to the following cue; false when the last cue of a run that does not repeat has played.
    bool advance();

  private:
    ProjectionMode m_mode = ProjectionMode::cueOnce;
    QList<Cue> m_cues;
    QList<MediaAsset> m_assets;
    int m_index = 0;
};

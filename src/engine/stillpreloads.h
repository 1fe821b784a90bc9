#pragma once

#include "cue.h"
#include "mediaasset.h"
#include "screenrole.h"
#include "timelineevent.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// Has the stills that come next decoded before they are due, as videos are prepared: for each screen, the first
// still in the rest of the running timeline, and the stills the cue that plays next opens with.
class StillPreloads
{
  public:
    // The running timeline in playing order, with the assets of the run.
    void setTimeline(const QList<TimelineEvent>& events, const QHash<QUuid, MediaAsset>& assets);
    void clearTimeline() { m_timeline.clear(); }
    void removeScreen(const ScreenRole& role) { m_timeline.remove(role); }
    // Starts the decodes still missing for what comes after this timeline index and for the next cue.
    void prepare(int timelineIndex, const std::optional<Cue>& next, const QList<ScreenRole>& screens,
                 const QList<MediaAsset>& assets);

  private:
    QStringList nextCueStills(const Cue& cue, const QList<ScreenRole>& screens, const QList<MediaAsset>& assets);

    struct Still
    {
        int index;
        QString path;
    };
    // For each screen, its still clips in playing order.
    QHash<ScreenRole, QList<Still>> m_timeline;
    // The opening stills of the next cue, worked out again only when that cue or the assets change.
    struct NextCue
    {
        Cue cue;
        QList<MediaAsset> assets;
        QList<ScreenRole> screens;
        QStringList paths;
    };
    std::optional<NextCue> m_next;
};

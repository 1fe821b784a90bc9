#pragma once

#include "show.h"

// The show an editing process holds after edit `edit` of its life `life`: edit n renames cue n modulo the cue
// count and stamps the universe with life and edit, so a show found on disk names the one state it must equal.
inline Show editedShow(const Show& base, qint64 life, qint64 edit)
{
    Show show = base;
    show.universe = life * 1000000 + edit;
    const qint64 count = show.cues.size();
    for (qint64 cue = 0; cue < count && cue <= edit; ++cue) {
        const qint64 last = edit - (edit - cue) % count;
        if (last >= 1)
            show.cues[cue].name = QStringLiteral("life %1 edit %2").arg(life).arg(last);
    }
    return show;
}

inline qint64 lifeOf(const Show& show)
{
    return show.universe / 1000000;
}
inline qint64 editOf(const Show& show)
{
    return show.universe % 1000000;
}

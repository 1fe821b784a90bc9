#pragma once

#include "cue.h"
#include "mediaasset.h"
#include "screenrole.h"

#include <QList>
#include <QUrl>
#include <optional>

// A file a screen shows and how far into it, in seconds.
struct ScreenPicture
{
    std::optional<QUrl> url;
    double offset = 0;

    bool operator==(const ScreenPicture&) const = default;
};

// What a screen shows of a cue at a moment, as the scheduler puts it on air: on each layer the clip that started
// last (on equal times the later one in stored order), unless it has ended; of those, the one on the highest layer.
// A cue without timeline events shows its direct file.
ScreenPicture screenPictureAt(const Cue& cue, const QList<MediaAsset>& assets, const ScreenRole& role, double time);

// What a screen shows as a cue begins: of its clips at 0 s the one on the highest layer, on a tie the later one in
// stored order; for a cue without timeline events its direct file.
std::optional<QUrl> openingPicture(const Cue& cue, const QList<MediaAsset>& assets, const ScreenRole& role);

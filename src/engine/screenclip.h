#pragma once

#include "mediaasset.h"
#include "timelineevent.h"

#include <memory>

class Picture;

// One media clip of a running timeline on its screen and layer, with the picture that shows it.
struct ScreenClip
{
    TimelineEvent event;
    MediaAsset asset;
    std::shared_ptr<Picture> picture;

    // Whether the clip is over at this timeline position: its length has passed or its media failed.
    bool hasEnded(double time) const;
    // Whether its media cannot play: the video's player failed, or the still cannot be shown.
    bool failed() const;
};

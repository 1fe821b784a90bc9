#include "channellevel.h"

#include <algorithm>
#include <cmath>

ChannelLevel ChannelLevel::fromPeak(float peak)
{
    const float floorPeak = 0.001f;
    const float x = peak <= floorPeak ? floorPeak : peak;
    float db = 20.0f * std::log10(x);
    if (std::isnan(db) || db < -60.0f)
        db = -60.0f;
    ChannelLevel level;
    level.text = db <= -60.0f ? QStringLiteral("\u2212\u221E dBFS") : QString::asprintf("%.1f dBFS", double(db));
    level.fraction = double(std::min((db + 60.0f) / 60.0f, 1.0f));
    level.hot = db >= -1.0f;
    return level;
}

int gainPercent(float gain)
{
    return int(gain * 100.0f);
}

#pragma once

#include <QString>

// How a mixer channel's peak is shown: the level in dBFS, the meter's fill and whether it is near clipping.
struct ChannelLevel
{
    // "−∞ dBFS" at or below -60 dBFS, else the level with one decimal ("-6.0 dBFS").
    QString text;
    // 0 at -60 dBFS up to 1 at 0 dBFS, held at 1 above.
    double fraction = 0;
    // At or above -1 dBFS: the meter turns red.
    bool hot = false;

    static ChannelLevel fromPeak(float peak);
};

// A linear gain as the whole percent shown beside its slider (0.999 shows 99).
int gainPercent(float gain);

#pragma once

#include <gst/gst.h>

#include <algorithm>

// Where an accurate seek to a second must aim. A frame that starts exactly at that second is its frame; the frame
// before merely ends there, but containers that round timestamps can make it end a nanosecond later, and GStreamer
// would then stop on it. Aiming a microsecond inside the asked frame keeps the frame that starts at the second.
inline gint64 exactSeekTarget(double seconds)
{
    return gint64(std::max(seconds, 0.0) * GST_SECOND + 0.5) + gint64(GST_USECOND);
}

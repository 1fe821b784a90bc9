#pragma once

#include <chrono>
#include <optional>

// How far the sound device's sound lags behind the pipeline clock once it plays, as last measured. A starting sink's
// own clock cannot tell this for a while (see SoundClock), and a pipeline without sound keeps the same lag so that
// its pictures go with the others'. Devices of one machine are alike enough for one figure. Any thread.
namespace SoundLag {

// None before any was measured, or once the silent sink stands in.
std::optional<std::chrono::nanoseconds> last();
void note(std::chrono::nanoseconds lag);
void forget();

} // namespace SoundLag

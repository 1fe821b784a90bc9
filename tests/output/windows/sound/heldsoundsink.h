#pragma once

#include <chrono>

// The players' sound sink in the sound tests: PulseAudio's, inside a bin that autoaudiosink prefers to it, which can
// hold a stream's first sound back for a set time, as a sound device slow to open does. The player that opens it
// prerolls, and so loads, that much later.
namespace HeldSoundSink {

// From now on autoaudiosink makes this sink; once per process. False where GStreamer has no pulsesink.
bool install();
// The first sound of the next stream to open is held back this long.
void holdNextOpening(std::chrono::milliseconds hold);

} // namespace HeldSoundSink

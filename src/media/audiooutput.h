#pragma once

typedef struct _GstElement GstElement;

// The sink for a player's sound, as SoundOutput decides it: the system's audio output, or a fake sink that still
// plays in real time.
GstElement* makeAudioSink();
// Asks the machine whether a sound device can be opened; may take as long as the sound server takes to answer.
bool soundDeviceOpens();

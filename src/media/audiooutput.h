#pragma once

typedef struct _GstElement GstElement;

// The sink for a player's sound, decided once per process: the system's audio output, or where no sound device can
// be opened a fake sink that still plays in real time. LUMO_AUDIO_SINK=auto or =fake forces either.
GstElement* makeAudioSink();
bool hasSoundDevice();

#pragma once

// Initialises GStreamer once for the process; safe to call from anywhere.
void initGstreamer();

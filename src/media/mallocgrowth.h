#pragma once

// glibc gives each busy thread a malloc arena of its own and raises its threshold for mapping large blocks each
// time one is freed. GStreamer's streaming threads allocate frames of a megabyte and more, so over an evening the
// frames end up in many arenas that never give their memory back, and resident memory climbs while the live heap
// stays flat. Two arenas and a fixed mapping threshold (large frames are mapped and unmapped) keep it flat.
// Call it first thing in main; starting GStreamer calls it too, for the programs that do not.
void limitMallocGrowth();

#pragma once

// glibc gives each busy thread a malloc arena of its own. GStreamer's streaming threads allocate frames of a
// megabyte and more, so over an evening the frames end up in many arenas that never give their memory back, and
// resident memory climbs while the live heap stays flat. Two arenas keep it flat. The threshold for mapping large
// blocks stays glibc's own, which rises to the largest block freed: a fixed low one made every frame-sized block
// (decoded frames, a window's backing store copy) a fresh mapping, faulted in page by page and unmapped again.
// Call it first thing in main; starting GStreamer calls it too, for the programs that do not.
void limitMallocGrowth();

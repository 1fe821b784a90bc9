#pragma once

// Media work yields the CPU to the show's clock. A thread that calls this leaves any real-time policy it inherited
// and runs a few nice levels below the main thread; the threads it starts afterwards (a pipeline's streaming and
// decoding threads, the software rasteriser's) inherit that. When decoding and drawing fill every core, the timeline
// step, the lighting timer and clicks still get one at once, as do the display server's replies the console waits on.
void runBelowShowClock();

#pragma once

#include "show.h"

// Lets go of a show on a thread of its own. Freeing a show of hundreds of megabytes (the one an open replaces, an undo
// step of it) takes tens of milliseconds, long enough to hold the show's clock; a show still shared elsewhere only
// drops a reference there. Shows are freed in the order given, and the program's end waits for them.
void freeAside(Show&& show);

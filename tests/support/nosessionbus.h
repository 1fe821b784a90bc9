#pragma once

// Without a session bus, the first window shown asks libdbus to start one for the X display, which it does by forking
// the test program: with the renderer's and Qt's threads running, the child can wait for ever on a lock one of them
// held, and the window with it. Tests need no session bus; this names one that does not exist, for this program and
// every program it starts, unless one is set.
void leaveTheSessionBusOut();

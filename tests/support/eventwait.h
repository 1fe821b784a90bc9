#pragma once

#include <functional>

// Serves Qt events until the condition holds or the time is up; returns the condition's last value. Objects let
// go with deleteLater meanwhile are deleted, as in the program's own loop.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 10000);

// Runs the Qt event loop for at least the given time: every timer of this thread due within it has fired and the
// events posted meanwhile have been handled, however late a busy machine lets the loop come round. Only for what
// must not happen, or for a timer's work; anything another thread or process does is waited for with waitUntil.
void runEvents(int milliseconds);

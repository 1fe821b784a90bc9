#pragma once

#include <functional>

// The threads on which players' pipelines are made and torn down. Making a playbin and starting its preroll, and
// stopping one (its streaming threads joined, its frames freed), take milliseconds the show's clock cannot give.
namespace PipelineWorkers {

// Runs the work on one of the threads; any thread may hand work over.
void run(std::function<void()> work);
// Waits until all work handed over so far has ended, at most timeoutMs; true when it has. Quitting waits here, so
// that no pipeline is still stopping while the process tears down.
bool waitForAll(int timeoutMs);

} // namespace PipelineWorkers

#pragma once

// Counts the threads that look at the disk aside from the main thread (file questions, looks with a deadline), so
// that a process about to end can give them a moment: one still inside a library while the process tears that
// library down would crash the quit. A thread held by a folder that stopped answering is not waited for long.
class AsideThreads
{
  public:
    // Held for the life of one such thread.
    class Running
    {
      public:
        Running();
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    };

    // True when none runs any more within the time given.
    static bool waitForAll(int milliseconds);
};

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

    // Held for the life of a thread whose work nobody needs once the program ends (a preview still): the end gives it
    // no moment at all, and while one runs the process ends without tearing anything down under it.
    class Unwaited
    {
      public:
        Unwaited();
        ~Unwaited();
        Unwaited(const Unwaited&) = delete;
        Unwaited& operator=(const Unwaited&) = delete;
    };

    // True when none runs any more within the time given.
    static bool waitForAll(int milliseconds);
    // The same for the threads nobody waits for.
    static bool waitForUnwaited(int milliseconds);
};

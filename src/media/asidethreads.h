#pragma once

// Counts the threads that work aside from the main thread, so that a process about to end tears nothing down under
// one: one still inside a library while the process tears that library down would crash the quit. Those that look at
// the disk (file questions, looks, stills) may be held by a folder that stopped answering, and are not waited for.
class AsideThreads
{
  public:
    // Held for the life of one such thread that touches no disk (a show let go of), given a moment at the end.
    class Running
    {
      public:
        Running();
        ~Running();
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    };

    // Held for the life of a thread whose work nobody needs once the program ends (a look at the disk, a still): the
    // end gives it no moment at all, and while one runs the process ends without tearing anything down under it.
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

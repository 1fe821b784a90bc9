#pragma once

#include <functional>

// One call on the file system made on this thread, a sign of life as it begins and as it ends to whoever watches the
// thread's calls. A share that answers every call, however slowly, is told from one that holds a call unanswered,
// whatever a job asks of it in all: a look at a file's header costs it several calls.
class FileCall
{
  public:
    FileCall() { sign(Moment::begins); }
    ~FileCall() { sign(Moment::ends); }
    FileCall(const FileCall&) = delete;
    FileCall& operator=(const FileCall&) = delete;

    enum class Moment { begins, ends };

    // Hears of every call made on this thread while it lives, in place of the watch before it.
    class Watch
    {
      public:
        explicit Watch(std::function<void(Moment)> heard);
        ~Watch();
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;

      private:
        friend class FileCall;
        std::function<void(Moment)> m_heard;
        const Watch* m_before;
    };

  private:
    static void sign(Moment moment);
};

#pragma once

#include "callpace.h"
#include "filecall.h"

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>

// What a long file job tells the main thread on the way, without a lock: how far it has come, and for how long the
// file system has given no sign of life; and the other way, whether the operator gave the job up. Progress is
// written on the job's thread and read on the main thread.
class FilePulse
{
  public:
    enum class Stage { waiting, reading, decoding, encoding, writing, done };

    FilePulse() { sign(); }

    void setStage(Stage stage)
    {
        m_stage = stage;
        sign();
    }
    Stage stage() const { return m_stage; }
    void setTotal(qint64 bytes) { m_total = bytes; }
    void setDone(qint64 bytes) { m_done = bytes; }

    // The share of the bytes read or written; none while that cannot be told (waiting, encoding, decoding).
    std::optional<double> progress() const
    {
        const Stage stage = m_stage;
        if (stage != Stage::reading && stage != Stage::writing)
            return std::nullopt;
        const qint64 total = m_total;
        return total > 0 ? std::clamp(double(m_done) / double(total), 0.0, 1.0) : 0.0;
    }
    // How long the job has waited on the file system without an answer; zero while it works on its own.
    std::chrono::nanoseconds silence() const
    {
        const Stage stage = m_stage;
        if (stage == Stage::decoding || stage == Stage::encoding || stage == Stage::done)
            return {};
        return std::chrono::nanoseconds(now() - m_lastSign);
    }
    // How long a silence counts as the folder giving no answer: several times as long as the job's calls took so far,
    // since a slow share's call is several requests that each take their time.
    std::chrono::nanoseconds silentAfter() const { return m_pace.silentAfter(); }

    // The operator gives the job up, on the main thread: it is to leave every file as it was. False once the job has
    // begun to put a file in place of another, which no one can take back; it then finishes.
    bool giveUp()
    {
        Course expected = Course::going;
        return m_course.compare_exchange_strong(expected, Course::givenUp) || expected == Course::givenUp;
    }
    bool givenUp() const { return m_course == Course::givenUp; }
    // Asked by the job just before it replaces a file: false when it was given up, and then it replaces nothing.
    bool mayReplace()
    {
        Course expected = Course::going;
        return m_course.compare_exchange_strong(expected, Course::replacing) || expected == Course::replacing;
    }
    // Whether the job has begun to replace a file, and so can no longer be given up.
    bool replacing() const { return m_course == Course::replacing; }

    // One call on the file system: a sign of life as it begins and as it ends. A null pulse is not told.
    class Call
    {
      public:
        explicit Call(FilePulse* pulse) : m_pulse(pulse)
        {
            if (m_pulse)
                m_pulse->callBegins();
        }
        ~Call()
        {
            if (m_pulse)
                m_pulse->callEnds();
        }
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

      private:
        FilePulse* m_pulse;
    };

    // Every FileCall made on this thread while it lives is a sign of life of the pulse, however deep in the job it
    // is made. A null pulse hears nothing.
    class Hearing
    {
      public:
        explicit Hearing(FilePulse* pulse)
            : m_watch([pulse](FileCall::Moment moment) {
                  if (!pulse)
                      return;
                  if (moment == FileCall::Moment::begins)
                      pulse->callBegins();
                  else
                      pulse->callEnds();
              })
        {
        }

      private:
        FileCall::Watch m_watch;
    };

  private:
    enum class Course { going, replacing, givenUp };

    static qint64 now() { return std::chrono::steady_clock::now().time_since_epoch().count(); }
    void sign() { m_lastSign = now(); }
    void callBegins()
    {
        m_callBegan = now();
        sign();
    }
    // Told the time since the last call began: a call inside another is told by itself, and then the rest of the
    // outer one.
    void callEnds()
    {
        const qint64 ended = now();
        m_pace.ended(std::chrono::steady_clock::duration(ended - m_callBegan.exchange(ended)));
        m_lastSign = ended;
    }

    std::atomic<Stage> m_stage{Stage::waiting};
    std::atomic<qint64> m_total{0};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_lastSign{0};
    std::atomic<qint64> m_callBegan{0};
    CallPace m_pace;
    std::atomic<Course> m_course{Course::going};
};

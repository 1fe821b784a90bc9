#pragma once

#include <QObject>
#include <mutex>
#include <optional>

// Where the players' sound goes: the system's sound device, or a silent sink that still plays in real time.
enum class SoundSink { device, silent };

// The sound sink of every player of the process. Unless a test or benchmark chose one, the machine is asked once
// whether a sound device opens; where none does, the silent sink stands in so that media keeps its true length.
class SoundOutput : public QObject
{
    Q_OBJECT
  public:
    static SoundOutput& shared();

    // Tests and benchmarks: every player made from now on uses this sink, whatever the machine has.
    void choose(SoundSink sink);
    // Tests: whether a sound device opens, in place of asking the machine. Drops a choice.
    void assumeDeviceOpens(bool opens);
    // Asks on a worker, unless a sink was chosen; fellBack() follows when the silent sink stands in for a device.
    void check();
    // The sink for a new player. Any thread; may wait while the machine is asked.
    SoundSink sink();
    // The silent sink stands in because no device opened (a chosen one is no fallback). Never waits.
    bool fellBackToSilence() const;

  signals:
    // Sent from a worker thread: connect it queued.
    void fellBack();

  private:
    SoundOutput() = default;

    mutable std::mutex m_lock;
    std::optional<SoundSink> m_chosen;
    std::optional<bool> m_deviceOpens;
    // Held while the machine is asked, so that players made meanwhile wait for the one answer.
    std::mutex m_asking;
};

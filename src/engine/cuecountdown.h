#pragma once

#include "cue.h"
#include "remoteplaybackmode.h"

#include <QObject>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class DelayedTask;

// The delay before a cue that GO started: one countdown at a time, which the transport's pause holds and resumes.
// When it runs out the cue is started through the given function.
class CueCountdown : public QObject
{
    Q_OBJECT
  public:
    using Start = std::function<void(const Cue&, std::optional<RemotePlaybackMode>)>;

    CueCountdown(std::shared_ptr<Clock> clock, Start start, QObject* parent = nullptr);

    // The cue counted down to, if any.
    std::optional<QUuid> cue() const { return m_cue; }
    // Its name as the countdown began or last resumed.
    QString name() const { return m_name; }
    void begin(const Cue& cue, double seconds, std::optional<RemotePlaybackMode> remoteMode);
    void cancel();
    void hold();
    // Runs on from where hold() stopped it; the cue as the show holds it now.
    void resume(const Cue& cue);

  private:
    void schedule(const Cue& cue, double seconds);

    std::shared_ptr<Clock> m_clock;
    Start m_start;
    DelayedTask* m_task;
    std::optional<QUuid> m_cue;
    QString m_name;
    std::optional<RemotePlaybackMode> m_remoteMode;
    double m_remaining = 0;
    double m_deadline = 0;
};

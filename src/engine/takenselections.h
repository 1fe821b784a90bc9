#pragma once

#include <QUuid>
#include <deque>
#include <optional>

// The cues takes selected at their presses while their answers were on their way, as they would have with the
// answers in. A take refused once its answers come gives the selection back to what it would have been without it,
// unless the selection has changed since: the one before its press, or, where that was another take's that was
// refused too, the one before that.
class TakenSelections
{
  public:
    struct Selection
    {
        std::optional<QUuid> cue;
        // The press after which it was made (Engine::m_selectedBy).
        quint64 by = 0;
    };

    // The take pressed as `press` selected `cue` over `before`; `changes` counts the selection's changes after it.
    void took(quint64 press, const QUuid& cue, const Selection& before, quint64 changes);
    // The take pressed as `press` put its cue on air: what it selected holds.
    void landed(quint64 press);
    // The take pressed as `press` was refused: the selection to give back, when the selection is still the one it
    // made (`changes` as counted after it).
    std::optional<Selection> refused(quint64 press, quint64 changes);

  private:
    struct Taken
    {
        quint64 press = 0;
        QUuid cue;
        Selection before;
        quint64 changes = 0;
        bool refused = false;
    };
    Taken* find(quint64 press);

    // The newest few: a take dropped unheard (overtaken by a later one) is never told of.
    std::deque<Taken> m_taken;
};

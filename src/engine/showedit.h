#pragma once

#include "show.h"

#include <QUndoCommand>
#include <functional>

// One undo step: the whole show before and after an edit. The edit has already happened when the step is
// recorded, so the first redo does nothing.
class ShowEdit : public QUndoCommand
{
  public:
    using Restore = std::function<void(const Show&)>;

    // serial: names the step among all steps of the history, for as long as it lives.
    ShowEdit(Show before, Show after, Restore restore, quint64 serial = 0);
    ~ShowEdit() override;

    void undo() override;
    void redo() override;
    // A drag goes on: the step now ends at this show.
    void extend(Show after) { this->after = std::move(after); }
    quint64 serial() const { return m_serial; }
    const Show& showBefore() const { return before; }
    const Show& showAfter() const { return after; }
    bool isDone() const { return done; }
    // An edit pressed before this step has landed: the step now runs between the shows with that edit made.
    // fromBefore: this step is the edit's own place, which ends at its edit made on the show before it.
    void rebase(const std::function<Show(const Show&)>& edit, bool fromBefore);

  private:
    Show before;
    Show after;
    Restore restore;
    bool done = true;
    quint64 m_serial;
};

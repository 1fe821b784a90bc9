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

    ShowEdit(Show before, Show after, Restore restore);
    ~ShowEdit() override;

    void undo() override;
    void redo() override;
    // A drag goes on: the step now ends at this show.
    void extend(Show after) { this->after = std::move(after); }

  private:
    Show before;
    Show after;
    Restore restore;
    bool done = true;
};

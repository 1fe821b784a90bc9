#include "showedit.h"

ShowEdit::ShowEdit(Show before, Show after, Restore restore)
    : before(std::move(before)), after(std::move(after)), restore(std::move(restore))
{
}

void ShowEdit::undo()
{
    done = false;
    restore(before);
}

void ShowEdit::redo()
{
    if (done)
        return;
    done = true;
    restore(after);
}

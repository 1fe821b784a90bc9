#include "showedit.h"

#include "freeaside.h"

ShowEdit::ShowEdit(Show before, Show after, Restore restore, quint64 serial)
    : before(std::move(before)), after(std::move(after)), restore(std::move(restore)), m_serial(serial)
{
}

// A step of a large show may hold the last copy of a whole show version.
ShowEdit::~ShowEdit()
{
    freeAside(std::move(before));
    freeAside(std::move(after));
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

void ShowEdit::rebase(const std::function<Show(const Show&)>& edit, bool fromBefore)
{
    Show edited = edit(fromBefore ? before : after);
    if (!fromBefore)
        freeAside(std::exchange(before, edit(before)));
    freeAside(std::exchange(after, std::move(edited)));
}

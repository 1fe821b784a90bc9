#include "takenselections.h"

#include <algorithm>

static constexpr size_t kKept = 64;

void TakenSelections::took(quint64 press, const QUuid& cue, const Selection& before, quint64 changes)
{
    m_taken.push_back({press, cue, before, changes});
    if (m_taken.size() > kKept)
        m_taken.pop_front();
}

TakenSelections::Taken* TakenSelections::find(quint64 press)
{
    const auto found =
        std::find_if(m_taken.begin(), m_taken.end(), [press](const Taken& taken) { return taken.press == press; });
    return found == m_taken.end() ? nullptr : &*found;
}

void TakenSelections::landed(quint64 press)
{
    std::erase_if(m_taken, [press](const Taken& taken) { return taken.press == press; });
}

std::optional<TakenSelections::Selection> TakenSelections::refused(quint64 press, quint64 changes)
{
    Taken* taken = find(press);
    if (!taken)
        return std::nullopt;
    taken->refused = true;
    if (taken->changes != changes)
        return std::nullopt;
    // Over the selections of takes that were refused as well, back to one that holds.
    Selection back = taken->before;
    for (const Taken* earlier = taken; earlier;) {
        back = earlier->before;
        const Taken* previous = back.cue ? find(back.by) : nullptr;
        earlier = previous && previous->refused && previous->cue == *back.cue ? previous : nullptr;
    }
    return back;
}

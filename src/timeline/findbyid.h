#pragma once

#include <QUuid>
#include <algorithm>

// The first item of a list of events or library entries with this id, or the list's end.
template <typename List> auto findById(List& list, const QUuid& id)
{
    return std::find_if(list.begin(), list.end(), [&](const auto& item) { return item.id == id; });
}

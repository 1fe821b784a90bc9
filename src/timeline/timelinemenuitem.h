#pragma once

#include <QString>
#include <functional>

// One entry of the timeline's context menu: its title and what choosing it does. Whatever the entry acts on was
// fixed when the menu was built.
struct TimelineMenuItem
{
    QString title;
    std::function<void()> invoke;
};

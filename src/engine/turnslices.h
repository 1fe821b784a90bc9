#pragma once

#include <QObject>
#include <functional>

// How long one turn of the event loop may give to work over many files: well within a step of the show's clock.
inline constexpr qint64 kTurnSliceNs = 4'000'000;

// Work over thousands of items done a slice each turn of the event loop, so that the show's clock keeps its time
// beside it: `each` is given every place from 0 to `count` in order, then `then` runs. The first slice runs within
// the call, so small work ends in it. Nothing more runs once `context` is gone.
void runInSlices(QObject* context, qsizetype count, std::function<void(qsizetype)> each, std::function<void()> then);

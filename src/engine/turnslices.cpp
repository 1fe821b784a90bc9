#include "turnslices.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <memory>

namespace {

struct Slices
{
    QPointer<QObject> context;
    qsizetype count = 0;
    qsizetype done = 0;
    std::function<void(qsizetype)> each;
    std::function<void()> then;
};

void runSlice(const std::shared_ptr<Slices>& work)
{
    QElapsedTimer slice;
    slice.start();
    while (work->done < work->count) {
        work->each(work->done++);
        if (work->done % 32 == 0 && slice.nsecsElapsed() > kTurnSliceNs) {
            QTimer::singleShot(0, work->context, [work] { runSlice(work); });
            return;
        }
    }
    work->then();
}

} // namespace

void runInSlices(QObject* context, qsizetype count, std::function<void(qsizetype)> each, std::function<void()> then)
{
    runSlice(std::make_shared<Slices>(Slices{context, count, 0, std::move(each), std::move(then)}));
}

#include "filedescriptors.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mallocgrowth.h"
#include "pipelineworkers.h"
#include "quitonsignal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThreadPool>
#include <cstdlib>

// Work still running on a worker (a probe of a stuck network file) must not hold up the quit: by now the recovery
// copy is written, and QApplication's destructor would wait for the workers without end. The pipelines of the
// players just let go are stopped first, so that no streaming thread runs while the process tears down.
static int quitWithoutWaitingLong(int code)
{
    const QDeadlineTimer deadline(2000);
    if (!PipelineWorkers::waitForAll(int(deadline.remainingTime())) ||
        !QThreadPool::globalInstance()->waitForDone(int(deadline.remainingTime())))
        std::_Exit(code);
    return code;
}

int main(int argc, char** argv)
{
    limitMallocGrowth();
    FileDescriptors::raiseLimit();
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Lumoria");
    QApplication::setApplicationName("Lumoria");
    applyLumoStyle(app);
    QuitOnSignal quitOnSignal;
    int code = 0;
    {
        LumoriaApp lumoria;
        lumoria.show();
        code = app.exec();
    }
    // The pictures the engine let go on its way out are deleted from the event loop, which has ended.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return quitWithoutWaitingLong(code);
}

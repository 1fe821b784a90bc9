#include "programend.h"

#include "asidethreads.h"
#include "pipelineworkers.h"
#include "settingswriter.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThreadPool>
#include <cstdio>
#include <cstdlib>

// Work still running on a worker must not hold up the quit: by now the recovery copy is written, and QApplication's
// destructor would wait for the workers without end. The settings still on their way are given their moment first.
// Work that looks at the disk (a probe, a still, a question) is waited for not at all: it may be held by a share that
// stopped answering. Otherwise the pipelines of the players just let go are stopped first, so that no streaming
// thread runs while the process tears down.
int endProgram(int code)
{
    // The pictures the engine let go on its way out are deleted from the event loop, which has ended.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const QDeadlineTimer deadline(2000);
    if (!SettingsWriter::waitForAll(int(deadline.remainingTime())) || !AsideThreads::waitForUnwaited(0) ||
        !PipelineWorkers::waitForAll(int(deadline.remainingTime())) ||
        !QThreadPool::globalInstance()->waitForDone(int(deadline.remainingTime())) ||
        !AsideThreads::waitForAll(int(deadline.remainingTime()))) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

#include "filedescriptors.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mallocgrowth.h"
#include "quitonsignal.h"

#include <QApplication>
#include <QThreadPool>
#include <cstdlib>

// Work still running on a worker (a probe of a stuck network file) must not hold up the quit: by now the recovery
// copy is written, and QApplication's destructor would wait for the workers without end.
static int quitWithoutWaitingLong(int code)
{
    if (!QThreadPool::globalInstance()->waitForDone(2000))
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
    LumoriaApp lumoria;
    lumoria.show();
    return quitWithoutWaitingLong(app.exec());
}

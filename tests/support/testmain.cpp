#include "asidethreads.h"
#include "filedescriptors.h"
#include "hangguard.h"
#include "mallocgrowth.h"
#include "nosessionbus.h"
#include "pipelineworkers.h"
#include "soundoutput.h"

#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

// Every test binary runs under one QApplication, headless unless a test label asks for a real X server.
int main(int argc, char** argv)
{
    limitMallocGrowth();
    FileDescriptors::raiseLimit();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    leaveTheSessionBusOut();
    // Tests hear nothing and play in real time alike on every machine, with a sound device or without.
    SoundOutput::shared().choose(SoundSink::silent);
    // Numbers are written as in a C session whatever the developer's session says; a test of another locale starts
    // a process with LC_ALL set.
    if (qEnvironmentVariableIsEmpty("LC_ALL"))
        qputenv("LC_ALL", "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const std::unique_ptr<HangGuard> guard = testProgramHangGuard();
    const int result = RUN_ALL_TESTS();
    // No pipeline may still be stopping on a worker while the process tears down.
    PipelineWorkers::waitForAll(10000);
    // Nor a look at the disk inside a library being torn down; one held by a stalled folder is not waited for.
    if (!AsideThreads::waitForAll(5000))
        std::_Exit(result);
    return result;
}

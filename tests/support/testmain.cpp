#include "asidethreads.h"
#include "eventwait.h"
#include "filedescriptors.h"
#include "hangguard.h"
#include "mallocgrowth.h"
#include "nosessionbus.h"
#include "pipelineworkers.h"
#include "playerpipeline.h"
#include "soundoutput.h"

#include <QApplication>
#include <QEvent>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

// No pipeline of a test is alive when the next one begins: a test that counts pipelines, descriptors or threads, or
// listens to the sound, would be misled by what the test before it left playing. A test's pipelines are stopped on
// workers once it lets its players go, which takes a moment; one still alive after that names the test that left it.
class PipelinesLetGo : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo& test) override
    {
        // What the test let go with deleteLater outside an event loop goes now: nothing of the test is running.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (waitUntil([] { return PlayerPipeline::alive() == 0; }, 10000))
            return;
        ADD_FAILURE() << PlayerPipeline::alive() << " pipeline(s) made by " << test.test_suite_name() << "."
                      << test.name() << " are still alive after it ended";
    }
};

} // namespace

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
    // Before the printer, so that the test is reported with the failure this adds.
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new PipelinesLetGo);
    if (printer)
        listeners.Append(printer);
    const int result = RUN_ALL_TESTS();
    // No pipeline may still be stopping on a worker while the process tears down.
    PipelineWorkers::waitForAll(10000);
    // Nor a look at the disk inside a library being torn down; one held by a stalled folder is not waited for.
    if (!AsideThreads::waitForAll(5000) || !AsideThreads::waitForUnwaited(5000))
        std::_Exit(result);
    return result;
}

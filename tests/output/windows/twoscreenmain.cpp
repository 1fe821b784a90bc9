#include "hangguard.h"
#include "nosessionbus.h"
#include "pipelineworkers.h"
#include "soundoutput.h"
#include "twoscreenserver.h"

#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>

// The tests here need two displays: they run on a private X server with two screens instead of the caller's.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    // Made first so that it also watches the private X server end.
    const std::unique_ptr<HangGuard> guard = testProgramHangGuard();
    TwoScreenServer server;
    if (server.display().isEmpty()) {
        std::fprintf(stderr, "cannot start Xvfb with two screens\n");
        return 1;
    }
    qputenv("DISPLAY", server.display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    leaveTheSessionBusOut();
    SoundOutput::shared().choose(SoundSink::silent);
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
        // No pipeline may still be stopping on a worker while the process tears down.
        PipelineWorkers::waitForAll(10000);
    }
    return result;
}

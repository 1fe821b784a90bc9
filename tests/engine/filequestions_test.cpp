#include "asidethreads.h"
#include "filequestions.h"

#include <QDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

// A question counts as work aside from the moment it is asked, not from when its thread first runs: a program that
// ends just after asking ends without tearing its libraries down under it.
TEST(FileQuestions, AQuestionCountsAsWorkAsideFromTheMomentItIsAsked)
{
    std::atomic<bool> held = true;
    std::atomic<int> answered = 0;
    {
        // The disk's answer is held until the count has been read.
        FileQuestions questions([&](const QUrl&) {
            while (held)
                std::this_thread::yield();
            return true;
        });
        for (int round = 0; round < 20; ++round) {
            ASSERT_TRUE(AsideThreads::waitForUnwaited(5000)) << "round " << round;
            held = true;
            questions.ask(QUrl::fromLocalFile(QDir::tempPath()), FileDepth::readable, std::nullopt,
                          [&](const FileAnswer&) { ++answered; });
            EXPECT_FALSE(AsideThreads::waitForUnwaited(0)) << "round " << round;
            held = false;
        }
        // Questions not yet begun go with their owner: the last is answered before the owner goes.
        EXPECT_TRUE(AsideThreads::waitForUnwaited(5000));
    }
    EXPECT_EQ(answered, 20);
}

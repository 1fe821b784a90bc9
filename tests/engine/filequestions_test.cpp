#include "asidethreads.h"
#include "callpace.h"
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

// A folder is silent only after several times as long as its own calls take: quick calls leave it a second, slow
// ones more, none yet a little more than the quick second, and the slow calls of the past weigh less as quick ones end.
TEST(CallPace, SilenceIsJudgedAgainstTheFoldersOwnCalls)
{
    using namespace std::chrono_literals;
    CallPace pace;
    EXPECT_FALSE(pace.lastEnded());
    EXPECT_EQ(pace.silentAfter(), CallPace::kFirstSilence);
    EXPECT_GT(CallPace::kFirstSilence, CallPace::kQuickSilence);
    EXPECT_LT(CallPace::kFirstSilence, 3s);

    pace.ended(2ms);
    EXPECT_TRUE(pace.lastEnded());
    EXPECT_EQ(pace.silentAfter(), CallPace::kQuickSilence) << "a quick folder is silent after a second";

    for (const std::chrono::milliseconds took : {600ms, 1800ms, 6000ms}) {
        pace.ended(took);
        EXPECT_EQ(pace.silentAfter(), CallPace::kCallsLong * took) << took.count();
    }
    pace.ended(20s);
    EXPECT_EQ(pace.silentAfter(), CallPace::kLongestSilence);

    for (int i = 0; i < 100; ++i)
        pace.ended(2ms);
    EXPECT_EQ(pace.silentAfter(), CallPace::kQuickSilence) << "the slow calls of the past still count";
}

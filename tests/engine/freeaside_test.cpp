#include "asidethreads.h"
#include "eventwait.h"
#include "freeaside.h"

#include <gtest/gtest.h>

// A show handed over is let go of by another thread, which ends once none is left, so a quit is not held by it.
TEST(FreeAside, EveryShowHandedOverIsLetGoOfAndTheThreadEnds)
{
    QList<QString> names;
    for (int round = 0; round < 3; ++round) {
        for (int show = 0; show < 20; ++show) {
            Show handed = Show::makeDefault();
            handed.cues.first().name = QStringLiteral("第 %1 轮 · %2").arg(round).arg(show);
            names.append(handed.cues.first().name);
            freeAside(std::move(handed));
        }
        // A name is shared with the show that holds it until that show is gone.
        EXPECT_TRUE(waitUntil([&] {
            return std::all_of(names.begin(), names.end(), [](QString& name) { return name.isDetached(); });
        })) << "round "
            << round;
        EXPECT_TRUE(AsideThreads::waitForAll(5000)) << "round " << round;
        names.clear();
    }
}

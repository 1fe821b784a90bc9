#include "show.h"

#include <gtest/gtest.h>

TEST(ShowDefaults, HasThreeNamedCuesOnOneScreen)
{
    const Show show = Show::makeDefault();
    ASSERT_EQ(show.cues.size(), 3);
    EXPECT_EQ(show.cues[0].name, QStringLiteral("暖场"));
    EXPECT_EQ(show.cues[1].name, QStringLiteral("开场"));
    EXPECT_EQ(show.cues[2].name, QStringLiteral("退场"));
    EXPECT_NE(show.cues[0].id, show.cues[1].id);
    EXPECT_EQ(show.screens(), QList<ScreenRole>{kScreen1});
}

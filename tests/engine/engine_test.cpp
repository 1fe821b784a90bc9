#include "enginefixture.h"
#include "screendisplayprovider.h"
#include "timelineclock.h"

#include <QSignalSpy>
#include <QTest>

TEST_F(EngineTest, StartsWithTheDefaultShowReadyAndSaved)
{
    EXPECT_EQ(engine->message(), QStringLiteral("就绪"));
    ASSERT_EQ(engine->show().cues.size(), 3);
    EXPECT_EQ(engine->selected(), cue(0).id);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_TRUE(engine->program(kScreen1)->showsStandby());
    EXPECT_FALSE(engine->preview(kScreen1)->showsStandby());
    EXPECT_EQ(engine->program(kScreen2), nullptr);
    EXPECT_NE(engine->audioPlayer(Bus::effects), engine->audioPlayer(Bus::music));
}

TEST_F(EngineTest, ChildEngineRecordsNoEditsAndWritesNoRecovery)
{
    auto child = makeEngine(false);
    Show show = child->show();
    show.cues[0].name = QStringLiteral("独立");
    child->setShow(show);
    EXPECT_EQ(child->show().cues[0].name, QStringLiteral("独立"));
    EXPECT_EQ(child->editHistory()->count(), 0);
    EXPECT_FALSE(child->hasUnsavedChanges());
    child->writeRecovery();
    QTest::qWait(1500);
    EXPECT_FALSE(QFile::exists(recoveryPath()));
}

TEST_F(EngineTest, DisplayChangeRefreshesDisplays)
{
    QSignalSpy changed(engine.get(), &Engine::displaysChanged);
    displays->change(
        {DisplayScreen{1, QStringLiteral("a"), QStringLiteral("HDMI-1"), {0, 0, 1920, 1080}, {1920, 1080}}});
    ASSERT_TRUE(changed.wait(10000));
    ASSERT_EQ(engine->displays().size(), 1);
    EXPECT_EQ(engine->displays()[0].displayName(), QStringLiteral("HDMI-1 · 1920 × 1080"));
}

TEST_F(EngineTest, VideoBlackReachesEveryProgramPictureAndNoPreview)
{
    engine->addScreen();
    engine->setVideoBlack(true);
    EXPECT_TRUE(engine->program(kScreen1)->black());
    EXPECT_TRUE(engine->program(kScreen2)->black());
    EXPECT_FALSE(engine->preview(kScreen1)->black());
    engine->addScreen();
    EXPECT_TRUE(engine->program(kScreen3)->black()) << "a screen added while black";
    engine->setVideoBlack(false);
    EXPECT_FALSE(engine->program(kScreen2)->black());
}

TEST(TimelineClock, PublishesJumpsBackAndWholeFramesOnly)
{
    TimelineClock clock;
    clock.update(10.0);
    QSignalSpy published(&clock, &TimelineClock::positionChanged);
    clock.update(10.03);
    EXPECT_DOUBLE_EQ(clock.position(), 10.0);
    clock.update(10.05);
    EXPECT_DOUBLE_EQ(clock.position(), 10.05);
    clock.update(9.99);
    EXPECT_DOUBLE_EQ(clock.position(), 9.99);
    EXPECT_EQ(published.count(), 2);
}

TEST(ScreenDisplayProvider, NumbersDisplaysFromOneAndKeepsThem)
{
    ScreenDisplayProvider provider;
    const QList<DisplayScreen> first = provider.displays();
    ASSERT_FALSE(first.isEmpty());
    for (const DisplayScreen& display : first) {
        EXPECT_GE(display.number, 1);
        EXPECT_FALSE(display.pixelSize.isEmpty());
    }
    EXPECT_EQ(ScreenDisplayProvider().displays(), first);
}

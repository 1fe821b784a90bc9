#include "enginefixture.h"
#include "picture.h"
#include "remotehost.h"
#include "screendisplayprovider.h"
#include "timelineclock.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

TEST_F(EngineTest, StartsWithTheDefaultShowReadyAndSaved)
{
    EXPECT_EQ(engine->message(), QStringLiteral("就绪"));
    ASSERT_EQ(engine->show().cues.size(), 3);
    EXPECT_EQ(engine->show().cues[0].name, QStringLiteral("暖场"));
    EXPECT_EQ(engine->selected(), engine->show().cues[0].id);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_FALSE(engine->canRecoverProject());
    EXPECT_FALSE(engine->projectURL());
    EXPECT_EQ(engine->editHistory()->count(), 0);
    ASSERT_NE(engine->program(kScreen1), nullptr);
    ASSERT_NE(engine->preview(kScreen1), nullptr);
    EXPECT_TRUE(engine->program(kScreen1)->showsStandby());
    EXPECT_FALSE(engine->preview(kScreen1)->showsStandby());
    EXPECT_EQ(engine->program(kScreen2), nullptr);
    EXPECT_NE(engine->audioPlayer(Bus::music), nullptr);
    EXPECT_NE(engine->audioPlayer(Bus::effects), engine->audioPlayer(Bus::music));
}

TEST_F(EngineTest, LeftoverRecoveryCopyIsOfferedAtStart)
{
    engine.reset();
    QFile file(recoveryPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{}");
    file.close();
    engine = makeEngine(true);
    EXPECT_TRUE(engine->canRecoverProject());
    EXPECT_FALSE(engine->hasUnsavedChanges());
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
    QTest::qWait(800);
    EXPECT_FALSE(QFile::exists(recoveryPath()));
}

TEST_F(EngineTest, RemoteHostIsMadeOnceAndIdle)
{
    RemoteHost* first = engine->remoteHost();
    EXPECT_EQ(engine->remoteHost(), first);
    EXPECT_FALSE(first->enabled());
    EXPECT_TRUE(first->code().isEmpty());
    EXPECT_EQ(first->engine(), engine.get());
}

TEST_F(EngineTest, DisplayChangeRefreshesDisplays)
{
    QSignalSpy changed(engine.get(), &Engine::displaysChanged);
    displays->change({DisplayScreen{1, QStringLiteral("a"), QStringLiteral("HDMI-1"), {0, 0, 1920, 1080}, {1920, 1080}}});
    ASSERT_TRUE(changed.wait(1000));
    ASSERT_EQ(engine->displays().size(), 1);
    EXPECT_EQ(engine->displays()[0].displayName(), QStringLiteral("HDMI-1 · 1920 × 1080"));
}

TEST_F(EngineTest, VideoBlackReachesEveryProgramPicture)
{
    engine->addScreen();
    engine->setVideoBlack(true);
    EXPECT_TRUE(engine->program(kScreen1)->black());
    EXPECT_TRUE(engine->program(kScreen2)->black());
    EXPECT_FALSE(engine->preview(kScreen1)->black());
    engine->addScreen();
    EXPECT_TRUE(engine->program(ScreenRole{QStringLiteral("屏幕 3")})->black());
}

TEST(TimelineClock, PublishesJumpsBackAndWholeFramesOnly)
{
    TimelineClock clock;
    clock.update(10.0);
    QSignalSpy published(&clock, &TimelineClock::positionChanged);
    clock.update(10.03);
    EXPECT_EQ(published.count(), 0);
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
    ScreenDisplayProvider another;
    EXPECT_EQ(another.displays(), first);
}

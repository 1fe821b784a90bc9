#include "enginefixture.h"
#include "picture.h"

#include <QImage>

using Screens = EngineTest;

static const ScreenRole kScreen3{QStringLiteral("屏幕 3")};

TEST_F(Screens, AddingMakesDerivedScreensExplicit)
{
    edit([](Show& show) { show.cues[0].side = QUrl::fromLocalFile(QStringLiteral("/media/side.png")); });
    engine->addScreen();
    EXPECT_EQ(engine->show().outputScreens, (QList<ScreenRole>{kScreen1, kScreen2, kScreen3}));
    EXPECT_NE(engine->program(kScreen3), nullptr);
    EXPECT_NE(engine->preview(kScreen3), nullptr);
}

TEST_F(Screens, AddingFillsTheFirstGap)
{
    const ScreenRole projector{QStringLiteral("投影 1")};
    edit([&](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen1, kScreen3, projector}; });
    engine->addScreen();
    EXPECT_EQ(engine->show().outputScreens, (QList<ScreenRole>{kScreen1, kScreen3, projector, kScreen2}));
}

TEST_F(Screens, KeptScreensKeepTheirPictures)
{
    Picture* program = engine->program(kScreen1);
    engine->addScreen();
    rename(0, QStringLiteral("A"));
    EXPECT_EQ(engine->program(kScreen1), program);
}

TEST_F(Screens, LastScreenIsNeverRemoved)
{
    engine->removeScreen(kScreen1);
    EXPECT_EQ(engine->show().screens(), QList<ScreenRole>{kScreen1});
    EXPECT_EQ(engine->message(), QStringLiteral("就绪"));
    EXPECT_EQ(engine->editHistory()->count(), 0);
}

TEST_F(Screens, ScreenInUseIsNotRemoved)
{
    edit([](Show& show) { show.cues[2].side = QUrl::fromLocalFile(QStringLiteral("/media/side.png")); });
    engine->removeScreen(kScreen2);
    EXPECT_EQ(engine->message(), QStringLiteral("请先移除节目中引用此屏幕的素材"));
    EXPECT_NE(engine->program(kScreen2), nullptr);

    edit([](Show& show) {
        show.cues[2].side.reset();
        show.cues[2].main = QUrl::fromLocalFile(QStringLiteral("/media/main.png"));
        show.cues[2].sideMirrorsMain = true;
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
    });
    engine->removeScreen(kScreen2);
    EXPECT_NE(engine->program(kScreen2), nullptr);

    TimelineEvent clip;
    clip.track = Track::main;
    clip.outputScreen = kScreen3;
    edit([&](Show& show) {
        show.cues[2] = Cue{};
        show.cues[1].timeline = QList<TimelineEvent>{clip};
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2, kScreen3};
    });
    engine->setMessage({});
    engine->removeScreen(kScreen3);
    EXPECT_EQ(engine->message(), QStringLiteral("请先移除节目中引用此屏幕的素材"));
}

TEST_F(Screens, ScreenOfAnEmptyLaneIsRemovedWithItsBindingButNotItsMapping)
{
    TimelineLane lane;
    lane.screen = kScreen2;
    ProjectorMapping mapping;
    mapping.gamma = 2;
    edit([&](Show& show) {
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
        show.cues[0].extraLanes = QList<TimelineLane>{lane};
        show.displayBindings = QMap<QString, QString>{{kScreen2.rawValue, QStringLiteral("display")}};
        show.projectorMappings = QMap<QString, ProjectorMapping>{{kScreen2.rawValue, mapping}};
    });
    Picture* removed = engine->program(kScreen2);
    ASSERT_NE(removed, nullptr);
    engine->removeScreen(kScreen2);
    EXPECT_EQ(engine->show().screens(), QList<ScreenRole>{kScreen1});
    EXPECT_FALSE(engine->show().displayBindings->contains(kScreen2.rawValue));
    EXPECT_TRUE(engine->show().projectorMappings->contains(kScreen2.rawValue));
    EXPECT_EQ(engine->program(kScreen2), nullptr);
    engine->addScreen();
    EXPECT_EQ(engine->mapping(kScreen2).gamma, 2);
}

TEST_F(Screens, DefaultPictureBecomesEveryProgramFallback)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(path(QStringLiteral("standby.png"))));
    engine->addScreen();
    engine->setDefaultPicture(url(QStringLiteral("standby.png")));
    EXPECT_EQ(engine->message(), QStringLiteral("默认画面 · standby.png"));
    EXPECT_EQ(engine->show().defaultPicture, url(QStringLiteral("standby.png")));
    ASSERT_TRUE(engine->program(kScreen2)->fallback());
    EXPECT_EQ(engine->program(kScreen2)->fallback()->size(), QSize(4, 4));
    EXPECT_FALSE(engine->preview(kScreen1)->fallback());

    engine->addScreen();
    EXPECT_TRUE(engine->program(kScreen3)->fallback());

    engine->editHistory()->undo();
    engine->editHistory()->undo();
    EXPECT_FALSE(engine->program(kScreen1)->fallback());
}

TEST_F(Screens, UnreadableDefaultPictureChangesNothing)
{
    QFile junk(path(QStringLiteral("junk.png")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not an image");
    junk.close();
    engine->setDefaultPicture(url(QStringLiteral("junk.png")));
    EXPECT_EQ(engine->message(), QStringLiteral("无法读取默认画面"));
    EXPECT_FALSE(engine->show().defaultPicture);
    EXPECT_EQ(engine->editHistory()->count(), 0);
}

TEST_F(Screens, ClearingAnAbsentDefaultPictureRecordsNothing)
{
    engine->setDefaultPicture(std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("已清除默认画面"));
    EXPECT_EQ(engine->editHistory()->count(), 0);
}

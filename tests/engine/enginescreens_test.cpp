#include "enginefixture.h"
#include "hangguard.h"
#include "projectfile.h"

#include <QImage>
#include <sys/stat.h>

using Screens = EngineTest;

TEST_F(Screens, AddingMakesDerivedScreensExplicitFillsTheFirstGapAndKeepsPictures)
{
    const ScreenRole projector{QStringLiteral("投影 1")};
    const QUrl side = QUrl::fromLocalFile(QStringLiteral("/media/side.png"));
    const struct
    {
        std::optional<QList<ScreenRole>> screens;
        QList<ScreenRole> expected;
    } rows[] = {
        {std::nullopt, {kScreen1, kScreen2, kScreen3}},
        {QList<ScreenRole>{kScreen1, kScreen3, projector}, {kScreen1, kScreen3, projector, kScreen2}},
    };
    for (const auto& row : rows) {
        edit([&](Show& show) {
            show.cues[0].side = side;
            show.outputScreens = row.screens;
        });
        Picture* first = engine->program(kScreen1);
        engine->addScreen();
        EXPECT_EQ(engine->show().outputScreens, row.expected);
        for (const ScreenRole& role : row.expected)
            EXPECT_TRUE(engine->program(role) && engine->preview(role)) << role.rawValue.toStdString();
        EXPECT_EQ(engine->program(kScreen1), first);
    }
}

TEST_F(Screens, LastScreenOrOneInUseIsNotRemoved)
{
    engine->removeScreen(kScreen1);
    EXPECT_EQ(engine->show().screens(), QList<ScreenRole>{kScreen1});
    EXPECT_EQ(engine->message(), QStringLiteral("就绪"));
    EXPECT_EQ(engine->editHistory()->count(), 0);

    TimelineEvent onThird;
    onThird.track = Track::main;
    onThird.outputScreen = kScreen3;
    const struct
    {
        std::function<void(Show&)> use;
        ScreenRole screen;
    } rows[] = {
        {[](Show& show) { show.cues[2].side = QUrl::fromLocalFile(QStringLiteral("/media/side.png")); }, kScreen2},
        {[](Show& show) {
             show.cues[2].main = QUrl::fromLocalFile(QStringLiteral("/media/main.png"));
             show.cues[2].sideMirrorsMain = true;
         },
         kScreen2},
        {[&](Show& show) { show.cues[1].timeline = QList<TimelineEvent>{onThird}; }, kScreen3},
    };
    for (const auto& [use, used] : rows) {
        edit([&](Show& show) {
            show = Show::makeDefault();
            use(show);
            show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2, kScreen3};
        });
        engine->setMessage({});
        engine->removeScreen(used);
        EXPECT_EQ(engine->message(), QStringLiteral("请先移除节目中引用此屏幕的素材"));
        EXPECT_NE(engine->program(used), nullptr);
    }
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
    awaitAnswerAbout(url(QStringLiteral("standby.png")));
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

// A FIFO as default picture is never opened; a large picture decodes off the main thread and reaches the screens
// once decoded, keeping what they showed until then.
TEST_F(Screens, NoDefaultPictureIsReadOnTheMainThread)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.png"))).constData(), 0600), 0);
    Show show;
    show.defaultPicture = url(QStringLiteral("fifo.png"));
    writeShowFile(show, path(QStringLiteral("show.json")), JsonFormat::pretty);
    {
        HangGuard guard("a show whose default picture is a FIFO");
        EXPECT_EQ(open(url(QStringLiteral("show.json"))), std::nullopt);
        awaitAnswerAbout(url(QStringLiteral("fifo.png")));
        engine->setDefaultPicture(url(QStringLiteral("fifo.png")));
    }
    EXPECT_EQ(engine->message(), QStringLiteral("无法读取默认画面"));
    EXPECT_FALSE(engine->program(kScreen1)->fallback());

    QImage large(2000, 1000, QImage::Format_RGB32);
    large.fill(Qt::blue);
    ASSERT_TRUE(large.save(path(QStringLiteral("large.png"))));
    awaitAnswerAbout(url(QStringLiteral("large.png")));
    engine->setDefaultPicture(url(QStringLiteral("large.png")));
    EXPECT_EQ(engine->message(), QStringLiteral("默认画面 · large.png"));
    EXPECT_FALSE(engine->program(kScreen1)->fallback());
    ASSERT_TRUE(waitUntil([&] { return engine->program(kScreen1)->fallback().has_value(); }));
    EXPECT_EQ(engine->program(kScreen1)->fallback()->size(), QSize(2000, 1000));
}

TEST_F(Screens, UnreadableOrAbsentDefaultPictureRecordsNothing)
{
    writeFile(path(QStringLiteral("junk.png")), "not an image");
    awaitAnswerAbout(url(QStringLiteral("junk.png")));
    engine->setDefaultPicture(url(QStringLiteral("junk.png")));
    EXPECT_EQ(engine->message(), QStringLiteral("无法读取默认画面"));
    EXPECT_FALSE(engine->show().defaultPicture);
    engine->setDefaultPicture(std::nullopt);
    EXPECT_EQ(engine->message(), QStringLiteral("已清除默认画面"));
    EXPECT_EQ(engine->editHistory()->count(), 0);
}

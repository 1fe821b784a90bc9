#include "enginefixture.h"
#include "horizontalarrangement.h"

#include <cmath>
#include <limits>

class Preflight : public EngineTest
{
protected:
    MediaAsset asset(const QString& name, AssetKind kind)
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write("x");
        MediaAsset made;
        made.url = url(name);
        made.kind = kind;
        return made;
    }
    static TimelineEvent clip(Track track, const MediaAsset& asset, double time = 0)
    {
        TimelineEvent event;
        event.track = track;
        event.time = time;
        event.assetID = asset.id;
        return event;
    }
    static QStringList texts(const QList<Engine::PlaybackIssue>& issues)
    {
        QStringList result;
        for (const Engine::PlaybackIssue& issue : issues)
            result.append(issue.text);
        return result;
    }
};

TEST_F(Preflight, CueWithoutFilesOrEventsIsFine)
{
    EXPECT_TRUE(engine->playbackIssues({Cue{}}, {}, true).isEmpty());
}

TEST_F(Preflight, EventTimesOutsideTheDayAreInvalid)
{
    const MediaAsset image = asset(QStringLiteral("a.png"), AssetKind::image);
    Cue cue;
    cue.timeline = QList<TimelineEvent>{};
    for (double time : {0.0, -0.0, 86400.0})
        cue.timeline->append(clip(Track::main, image, time));
    EXPECT_TRUE(engine->playbackIssues({cue}, {image}, false).isEmpty());

    cue.timeline = QList<TimelineEvent>{};
    for (double time : {-0.001, 86400.001, std::nan(""), std::numeric_limits<double>::infinity()})
        cue.timeline->append(clip(Track::main, image, time));
    EXPECT_EQ(texts(engine->playbackIssues({cue}, {image}, false)), QStringList(4, QStringLiteral("事件时间无效")));
}

TEST_F(Preflight, MissingOrMismatchedMediaNamesFileOrTrack)
{
    const MediaAsset image = asset(QStringLiteral("a.png"), AssetKind::image);
    MediaAsset gone = asset(QStringLiteral("gone.wav"), AssetKind::audio);
    QFile::remove(path(QStringLiteral("gone.wav")));
    TimelineEvent withoutAsset;
    withoutAsset.track = Track::main;
    Cue cue;
    cue.timeline = QList<TimelineEvent>{withoutAsset, clip(Track::music, image), clip(Track::effects, gone)};
    const QList<Engine::PlaybackIssue> issues = engine->playbackIssues({cue}, {image, gone}, false);
    EXPECT_EQ(texts(issues), (QStringList{QStringLiteral("素材缺失或类型不匹配 · 主屏"),
                                          QStringLiteral("素材缺失或类型不匹配 · a.png"),
                                          QStringLiteral("素材缺失或类型不匹配 · gone.wav")}));
    EXPECT_EQ(issues[0].eventID, withoutAsset.id);
    EXPECT_EQ(issues[0].screen, kScreen1);
    EXPECT_FALSE(issues[1].screen);
}

TEST_F(Preflight, FirstAssetWithAnIdDecides)
{
    const MediaAsset image = asset(QStringLiteral("a.png"), AssetKind::image);
    MediaAsset twin = image;
    twin.kind = AssetKind::audio;
    Cue cue;
    cue.timeline = QList<TimelineEvent>{clip(Track::main, image)};
    EXPECT_TRUE(engine->playbackIssues({cue}, {image, twin}, false).isEmpty());
    EXPECT_EQ(engine->playbackIssues({cue}, {twin, image}, false).size(), 1);
}

TEST_F(Preflight, OneEventCanGiveSeveralIssuesInOrder)
{
    TimelineEvent event;
    event.track = Track::side;
    event.time = -1;
    event.outputScreen = ScreenRole{QStringLiteral("屏幕 3")};
    Cue cue;
    cue.timeline = QList<TimelineEvent>{event};
    const QList<Engine::PlaybackIssue> issues = engine->playbackIssues({cue}, {}, false);
    EXPECT_EQ(texts(issues), (QStringList{QStringLiteral("事件时间无效"), QStringLiteral("缺少屏幕 3"),
                                          QStringLiteral("素材缺失或类型不匹配 · 副屏")}));
    for (const Engine::PlaybackIssue& issue : issues)
        EXPECT_EQ(issue.eventID, event.id);
}

TEST_F(Preflight, UnsendableMessagesAreInvalid)
{
    TimelineEvent message;
    message.track = Track::message;
    message.host = QStringLiteral("127.0.0.1");
    message.port = 7000;
    message.payload = QStringLiteral("go");
    TimelineEvent noHost = message;
    noHost.host.clear();
    TimelineEvent portZero = message;
    portZero.port = 0;
    TimelineEvent portHigh = message;
    portHigh.port = 65536;
    TimelineEvent badHex = message;
    badHex.hex = true;
    badHex.payload = QStringLiteral("zz");
    Cue cue;
    cue.timeline = QList<TimelineEvent>{message, noHost, portZero, portHigh, badHex};
    EXPECT_EQ(texts(engine->playbackIssues({cue}, {}, false)), QStringList(4, QStringLiteral("通讯事件配置无效")));
}

TEST_F(Preflight, DirectFilesThenOutputsInScreenOrder)
{
    Cue cue;
    cue.name = QStringLiteral("直接");
    cue.main = url(QStringLiteral("main.mp4"));
    cue.side = url(QStringLiteral("side.mp4"));
    cue.audio = url(QStringLiteral("music.wav"));
    edit([](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2}; });
    const QList<Engine::PlaybackIssue> issues = engine->playbackIssues({cue, Cue{}}, {}, true);
    EXPECT_EQ(texts(issues), (QStringList{QStringLiteral("素材缺失 · main.mp4"), QStringLiteral("素材缺失 · side.mp4"),
                                          QStringLiteral("素材缺失 · music.wav"), QStringLiteral("屏幕 1仅监看"),
                                          QStringLiteral("屏幕 2仅监看")}));
    EXPECT_TRUE(issues[3].warning);
    EXPECT_FALSE(issues[0].warning);
    EXPECT_EQ(issues[4].screen, kScreen2);
    EXPECT_EQ(issues[0].cue.name, QStringLiteral("直接"));
    EXPECT_EQ(engine->playbackIssues({cue}, {}, false).size(), 3);
}

TEST_F(Preflight, MirroredSideNeedsNoSideFile)
{
    const MediaAsset image = asset(QStringLiteral("main.png"), AssetKind::image);
    Cue cue;
    cue.main = image.url;
    cue.side = url(QStringLiteral("gone.png"));
    cue.sideMirrorsMain = true;
    edit([](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2}; });
    EXPECT_EQ(texts(engine->playbackIssues({cue}, {}, true)),
              (QStringList{QStringLiteral("屏幕 1仅监看"), QStringLiteral("屏幕 2仅监看")}));
}

TEST_F(Preflight, BoundScreenWithoutWindowBlocks)
{
    const MediaAsset image = asset(QStringLiteral("main.png"), AssetKind::image);
    Cue cue;
    cue.main = image.url;
    edit([](Show& show) { show.displayBindings = QMap<QString, QString>{{kScreen1.rawValue, QStringLiteral("gone")}}; });
    EXPECT_TRUE(engine->screenHasBinding(kScreen1));
    const QList<Engine::PlaybackIssue> issues = engine->playbackIssues({cue}, {}, false);
    ASSERT_EQ(texts(issues), QStringList{QStringLiteral("屏幕 1输出不可用")});
    EXPECT_FALSE(issues[0].warning);
    EXPECT_FALSE(issues[0].eventID);
}

TEST_F(Preflight, MappedScreenFollowsItsSource)
{
    const MediaAsset image = asset(QStringLiteral("main.png"), AssetKind::image);
    ProjectorMapping mirror;
    mirror.enabled = true;
    mirror.source = kScreen1;
    edit([&](Show& show) {
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
        show.projectorMappings = QMap<QString, ProjectorMapping>{{kScreen2.rawValue, mirror}};
    });
    Cue cue;
    cue.timeline = QList<TimelineEvent>{clip(Track::main, image)};
    EXPECT_EQ(texts(engine->playbackIssues({cue}, {image}, true)),
              (QStringList{QStringLiteral("屏幕 1仅监看"), QStringLiteral("屏幕 2仅监看")}));

    ProjectorMapping lost = mirror;
    lost.source = ScreenRole{QStringLiteral("屏幕 9")};
    engine->setMapping(lost, kScreen2);
    EXPECT_FALSE(engine->mapping(kScreen2).source);
    EXPECT_EQ(texts(engine->playbackIssues({cue}, {image}, true)), QStringList{QStringLiteral("屏幕 1仅监看")});
}

TEST_F(Preflight, DefaultMappingIsTheIdentityAndIsNotStored)
{
    const ProjectorMapping mapping = engine->mapping(kScreen2);
    EXPECT_FALSE(mapping.enabled);
    EXPECT_EQ(mapping.crop, QRectF(0, 0, 1, 1));
    EXPECT_EQ(mapping.corners, (QList<QPointF>{{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    EXPECT_EQ(mapping.edges, (QList<double>{0, 0, 0, 0}));
    EXPECT_EQ(mapping.gamma, 1);
    EXPECT_FALSE(engine->show().projectorMappings);
}

TEST(HorizontalArrangement, ThreeScreensWithOverlapCoverTheSource)
{
    const auto arranged = arrangedHorizontally(QList<ProjectorMapping>(3), kScreen1, 0.1);
    ASSERT_TRUE(arranged);
    const double width = 1 / 2.8;
    const QList<double> starts{0, 0.9 * width, 1.8 * width};
    for (int i = 0; i < 3; ++i) {
        const ProjectorMapping& mapping = (*arranged)[i];
        EXPECT_TRUE(mapping.enabled);
        EXPECT_EQ(mapping.source, kScreen1);
        EXPECT_NEAR(mapping.crop.x(), starts[i], 1e-12);
        EXPECT_NEAR(mapping.crop.width(), width, 1e-12);
        EXPECT_EQ(mapping.crop.height(), 1);
    }
    EXPECT_NEAR((*arranged)[2].crop.right(), 1.0, 1e-12);
    EXPECT_EQ((*arranged)[0].edges, (QList<double>{0, 0.1, 0, 0}));
    EXPECT_EQ((*arranged)[1].edges, (QList<double>{0.1, 0.1, 0, 0}));
    EXPECT_EQ((*arranged)[2].edges, (QList<double>{0.1, 0, 0, 0}));
}

TEST(HorizontalArrangement, TwoScreens)
{
    const auto plain = arrangedHorizontally(QList<ProjectorMapping>(2), kScreen1, 0);
    ASSERT_TRUE(plain);
    EXPECT_EQ((*plain)[1].crop, QRectF(0.5, 0, 0.5, 1));
    EXPECT_EQ((*plain)[0].edges, (QList<double>{0, 0, 0, 0}));
    const auto blended = arrangedHorizontally(QList<ProjectorMapping>(2), kScreen1, 0.2);
    EXPECT_NEAR((*blended)[1].crop.x(), 0.4444444444, 1e-9);
    EXPECT_NEAR((*blended)[0].crop.width(), 1 / 1.8, 1e-12);
}

TEST(HorizontalArrangement, ShortBlendListsAndImpossibleOverlapsAreSafe)
{
    QList<ProjectorMapping> mappings(2);
    mappings[0].edges = {};
    mappings[1].edges = {0.3};
    mappings[1].edges.append(0.3);
    mappings[1].edges.append(0.05);
    const auto arranged = arrangedHorizontally(mappings, kScreen2, 0.1);
    ASSERT_TRUE(arranged);
    EXPECT_EQ((*arranged)[0].edges, (QList<double>{0, 0.1, 0, 0}));
    EXPECT_EQ((*arranged)[1].edges, (QList<double>{0.1, 0, 0.05, 0}));
    for (double overlap : {1.0, 2.0, -0.1, std::nan("")})
        EXPECT_FALSE(arrangedHorizontally(QList<ProjectorMapping>(2), kScreen1, overlap));
    EXPECT_FALSE(arrangedHorizontally(QList<ProjectorMapping>(1), kScreen1, 0.1));
}

TEST_F(Preflight, ArrangingWithoutBoundScreensDoesNothing)
{
    engine->addScreen();
    engine->arrangeHorizontal(kScreen1, 0.1);
    EXPECT_FALSE(engine->show().projectorMappings);
    EXPECT_EQ(engine->editHistory()->count(), 1);
}

TEST_F(Preflight, ApplyingAMappingWithoutDisplayTellsWhereItShows)
{
    engine->setProjectionTestPattern(true);
    engine->applyProjectorMapping(kScreen1);
    EXPECT_TRUE(engine->mapping(kScreen1).enabled);
    EXPECT_FALSE(engine->projectionTestPattern());
    EXPECT_EQ(engine->message(), QStringLiteral("屏幕 1 · 已应用到监看，绑定显示器后可输出"));
    const int steps = engine->editHistory()->count();
    engine->setMapping(engine->mapping(kScreen1), kScreen1);
    EXPECT_EQ(engine->editHistory()->count(), steps);
}

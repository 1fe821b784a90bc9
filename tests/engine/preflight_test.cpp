#include "enginefixture.h"
#include "horizontalarrangement.h"

#include <cmath>
#include <limits>
#include <mutex>

namespace {

QStringList texts(const QList<Engine::PlaybackIssue>& issues)
{
    QStringList result;
    for (const Engine::PlaybackIssue& issue : issues)
        result.append(issue.text);
    return result;
}

Cue timelineCue(const QList<TimelineEvent>& events)
{
    Cue cue;
    cue.timeline = events;
    return cue;
}

TimelineEvent at(TimelineEvent event, double time)
{
    event.time = time;
    return event;
}

} // namespace

using Preflight = EngineTest;

TEST_F(Preflight, TimelineEventsAreCheckedOneByOneInOrder)
{
    const MediaAsset image = asset(stillFile(Qt::red), AssetKind::image);
    MediaAsset audioTwin = image;
    audioTwin.kind = AssetKind::audio;
    const MediaAsset gone = asset(url(QStringLiteral("gone.wav")), AssetKind::audio);
    const TimelineEvent shown = clip(image, 0);
    TimelineEvent withoutAsset;
    withoutAsset.track = Track::main;
    TimelineEvent sideOnThird = at(withoutAsset, -1);
    sideOnThird.track = Track::side;
    sideOnThird.outputScreen = kScreen3;
    const TimelineEvent message = udpMessage(0, 7000, QStringLiteral("go"));
    TimelineEvent noHost = message;
    noHost.host.clear();
    TimelineEvent portZero = message;
    portZero.port = 0;
    TimelineEvent portHigh = message;
    portHigh.port = 65536;
    TimelineEvent badHex = message;
    badHex.hex = true;
    badHex.payload = QStringLiteral("zz");
    const double nan = std::nan("");
    const double infinity = std::numeric_limits<double>::infinity();
    const QString invalidTime = QStringLiteral("事件时间无效");
    const QString invalidMessage = QStringLiteral("通讯事件配置无效");
    const QString missing = QStringLiteral("素材缺失或类型不匹配 · ");

    const struct
    {
        const char* name;
        QList<TimelineEvent> events;
        QList<MediaAsset> assets;
        QStringList expected;
    } rows[] = {
        {"times within the day", {shown, at(shown, -0.0), at(shown, 86400)}, {image}, {}},
        {"times outside the day",
         {at(shown, -0.001), at(shown, 86400.001), at(shown, nan), at(shown, infinity)},
         {image},
         QStringList(4, invalidTime)},
        {"missing or mismatched media names the track or file",
         {withoutAsset, clip(image, 0, Track::music), clip(gone, 0, Track::effects)},
         {image, gone},
         {missing + QStringLiteral("主屏"), missing + image.url.fileName(), missing + QStringLiteral("gone.wav")}},
        {"the first asset with an id decides", {shown}, {image, audioTwin}, {}},
        {"the first asset with an id decides, mismatched",
         {shown},
         {audioTwin, image},
         {missing + image.url.fileName()}},
        {"one event gives several issues",
         {sideOnThird},
         {},
         {invalidTime, QStringLiteral("缺少屏幕 3"), missing + QStringLiteral("副屏")}},
        {"unsendable messages", {message, noHost, portZero, portHigh, badHex}, {}, QStringList(4, invalidMessage)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QList<Engine::PlaybackIssue> issues = checked({timelineCue(row.events)}, row.assets, false);
        EXPECT_EQ(texts(issues), row.expected);
        for (const Engine::PlaybackIssue& issue : issues)
            EXPECT_TRUE(issue.eventID && !issue.warning);
    }
    const QList<Engine::PlaybackIssue> issues =
        checked({timelineCue({withoutAsset, clip(image, 0, Track::music)})}, {image}, false);
    ASSERT_EQ(issues.size(), 2);
    EXPECT_EQ(issues[0].eventID, withoutAsset.id);
    EXPECT_EQ(issues[0].screen, kScreen1);
    EXPECT_FALSE(issues[1].screen);
}

TEST_F(Preflight, DirectFilesThenOutputsInScreenOrder)
{
    Cue cue;
    cue.name = QStringLiteral("直接");
    cue.main = url(QStringLiteral("main.mp4"));
    cue.side = url(QStringLiteral("side.mp4"));
    cue.audio = url(QStringLiteral("music.wav"));
    setScreens({kScreen1, kScreen2});
    const QList<Engine::PlaybackIssue> issues = checked({cue, Cue{}}, {}, true);
    EXPECT_EQ(texts(issues), (QStringList{QStringLiteral("素材缺失 · main.mp4"), QStringLiteral("素材缺失 · side.mp4"),
                                          QStringLiteral("素材缺失 · music.wav"), QStringLiteral("屏幕 1仅监看"),
                                          QStringLiteral("屏幕 2仅监看")}));
    EXPECT_TRUE(issues[3].warning);
    EXPECT_FALSE(issues[0].warning);
    EXPECT_EQ(issues[4].screen, kScreen2);
    EXPECT_EQ(issues[0].cue.name, QStringLiteral("直接"));
    EXPECT_EQ(checked({cue}, {}, false).size(), 3);

    cue.main = stillFile(Qt::red);
    cue.sideMirrorsMain = true;
    cue.audio.reset();
    EXPECT_EQ(texts(checked({cue}, {}, false)), QStringList{}) << "a mirrored side needs no side file";
}

TEST_F(Preflight, BoundScreenWithoutWindowBlocks)
{
    Cue cue;
    cue.main = stillFile(Qt::red);
    edit([](Show& show) {
        show.displayBindings = QMap<QString, QString>{{kScreen1.rawValue, QStringLiteral("gone")}};
    });
    EXPECT_TRUE(engine->screenHasBinding(kScreen1));
    const QList<Engine::PlaybackIssue> issues = checked({cue}, {}, false);
    ASSERT_EQ(texts(issues), QStringList{QStringLiteral("屏幕 1输出不可用")});
    EXPECT_FALSE(issues[0].warning);
    EXPECT_FALSE(issues[0].eventID);
}

TEST_F(Preflight, MappedScreenFollowsItsSource)
{
    const MediaAsset image = asset(stillFile(Qt::red), AssetKind::image);
    ProjectorMapping mirror;
    mirror.enabled = true;
    mirror.source = kScreen1;
    edit([&](Show& show) {
        show.outputScreens = QList<ScreenRole>{kScreen1, kScreen2};
        show.projectorMappings = QMap<QString, ProjectorMapping>{{kScreen2.rawValue, mirror}};
    });
    const Cue cue = timelineCue({clip(image, 0)});
    EXPECT_EQ(texts(checked({cue}, {image}, true)),
              (QStringList{QStringLiteral("屏幕 1仅监看"), QStringLiteral("屏幕 2仅监看")}));

    ProjectorMapping lost = mirror;
    lost.source = ScreenRole{QStringLiteral("屏幕 9")};
    engine->setMapping(lost, kScreen2);
    EXPECT_FALSE(engine->mapping(kScreen2).source);
    EXPECT_EQ(texts(checked({cue}, {image}, true)), QStringList{QStringLiteral("屏幕 1仅监看")});

    ProjectorMapping disabled = mirror;
    disabled.enabled = false;
    engine->setMapping(disabled, kScreen2);
    EXPECT_EQ(texts(checked({cue}, {image}, true)), QStringList{QStringLiteral("屏幕 1仅监看")})
        << "a switched-off mapping shows its own screen";
}

TEST_F(Preflight, FilesAreAskedAheadOnceAndChecksReadTheAnswers)
{
    // Asked on the engine's file question threads, one a folder, which may answer after the test has ended.
    struct Asked
    {
        std::mutex lock;
        QHash<QString, int> times;
    };
    const auto asked = std::make_shared<Asked>();
    isReadableFile = [asked](const QUrl& url) {
        std::lock_guard guard(asked->lock);
        ++asked->times[url.fileName()];
        return QFile::exists(url.toLocalFile());
    };
    engine = makeEngine(true);
    const MediaAsset image = asset(stillFile(Qt::red), AssetKind::image);
    MediaAsset sameFile = image;
    sameFile.id = QUuid::createUuid();
    const MediaAsset gone = asset(url(QStringLiteral("gone.wav")), AssetKind::audio);
    const Cue clean = timelineCue({clip(image, 0), clip(sameFile, 1, Track::side), clip(image, 2)});
    Cue timeline = timelineCue({clip(image, 0), clip(gone, 0, Track::music), clip(gone, 1, Track::effects)});
    timeline.name = QStringLiteral("时间轴");
    Cue direct;
    direct.main = image.url;
    direct.audio = gone.url;
    edit([&](Show& show) {
        show.cues = {clean, clean, timeline, direct};
        show.assets = QList<MediaAsset>{image, sameFile, gone};
    });
    const auto timesAsked = [&](const QString& name) {
        std::lock_guard guard(asked->lock);
        return asked->times.value(name);
    };
    EXPECT_EQ(timesAsked(image.url.fileName()), 1) << "the show's files are asked once, ahead of any check";
    EXPECT_EQ(timesAsked(QStringLiteral("gone.wav")), 1);

    const QList<Engine::PlaybackIssue> issues =
        engine->playbackIssues(engine->show().cues, *engine->show().assets, true);
    EXPECT_EQ(texts(issues).count(QStringLiteral("素材缺失或类型不匹配 · gone.wav")), 2);
    EXPECT_EQ(texts(issues).count(QStringLiteral("素材缺失 · gone.wav")), 1);
    runEvents(50);
    EXPECT_EQ(timesAsked(QStringLiteral("gone.wav")), 1) << "a check reads what the disk said";

    // Refused by what the disk said lately, or, on a slow machine, once it has said it again.
    engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt);
    EXPECT_TRUE(
        waitUntil([&] { return engine->message() == QStringLiteral("时间轴 · 素材缺失或类型不匹配 · gone.wav"); }));
    EXPECT_FALSE(engine->projectionMode());
    EXPECT_TRUE(waitUntil([&] { return timesAsked(QStringLiteral("gone.wav")) == 2; }))
        << "the run's files are asked once again, for the next check";

    EXPECT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt, Engine::Preflight::alreadyPassed));
    runEvents(50);
    EXPECT_EQ(timesAsked(QStringLiteral("gone.wav")), 2) << "a run checked just before is not checked again";
}

TEST(HorizontalArrangement, ScreensWithOverlapCoverTheSourceSideBySide)
{
    const struct
    {
        int screens;
        double overlap;
        QList<double> starts;
        double width;
    } rows[] = {
        {2, 0, {0, 0.5}, 0.5},
        {2, 0.2, {0, 0.8 / 1.8}, 1 / 1.8},
        {3, 0.1, {0, 0.9 / 2.8, 1.8 / 2.8}, 1 / 2.8},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.screens);
        SCOPED_TRACE(row.overlap);
        const auto arranged = arrangedHorizontally(QList<ProjectorMapping>(row.screens), kScreen1, row.overlap);
        ASSERT_TRUE(arranged);
        for (int i = 0; i < row.screens; ++i) {
            const ProjectorMapping& mapping = (*arranged)[i];
            EXPECT_TRUE(mapping.enabled);
            EXPECT_EQ(mapping.source, kScreen1);
            EXPECT_NEAR(mapping.crop.x(), row.starts[i], 1e-12);
            EXPECT_NEAR(mapping.crop.width(), row.width, 1e-12);
            EXPECT_EQ(mapping.crop.height(), 1);
            const double left = i > 0 ? row.overlap : 0;
            const double right = i < row.screens - 1 ? row.overlap : 0;
            EXPECT_EQ(mapping.edges, (QList<double>{left, right, 0, 0}));
        }
        EXPECT_NEAR(arranged->last().crop.right(), 1.0, 1e-12);
    }
}

TEST(HorizontalArrangement, ShortBlendListsAndImpossibleOverlapsAreSafe)
{
    QList<ProjectorMapping> mappings(2);
    mappings[0].edges = {};
    mappings[1].edges = {0.3, 0.3, 0.05};
    const auto arranged = arrangedHorizontally(mappings, kScreen2, 0.1);
    ASSERT_TRUE(arranged);
    EXPECT_EQ((*arranged)[0].edges, (QList<double>{0, 0.1, 0, 0}));
    EXPECT_EQ((*arranged)[1].edges, (QList<double>{0.1, 0, 0.05, 0}));
    for (double overlap : {1.0, 2.0, -0.1, std::nan("")})
        EXPECT_FALSE(arrangedHorizontally(QList<ProjectorMapping>(2), kScreen1, overlap));
    EXPECT_FALSE(arrangedHorizontally(QList<ProjectorMapping>(1), kScreen1, 0.1));
}

TEST_F(Preflight, ArrangingWithoutBoundScreensStoresNoMapping)
{
    engine->addScreen();
    engine->arrangeHorizontal(kScreen1, 0.1);
    EXPECT_FALSE(engine->mapping(kScreen2).enabled);
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

TEST_F(Preflight, MediaThatCannotBeReadIsReportedAsSuchAndBlocks)
{
    const QStringList broken = {
        MediaFixtures::file(QStringLiteral("empty.png"), {}),
        MediaFixtures::truncated(MediaFixtures::png({640, 480}, Qt::blue), 0.5),
        MediaFixtures::blackPng({30000, 30000}),
        MediaFixtures::pngClaiming({30000, 30000}),
        MediaFixtures::videoClaiming({65535, 65535}),
    };
    QList<Cue> cues;
    QList<TimelineEvent> events;
    for (const QString& path : broken) {
        Cue direct;
        direct.main = QUrl::fromLocalFile(path);
        cues.append(direct);
        events.append(clip(addAsset(QUrl::fromLocalFile(path), assetKind(QUrl::fromLocalFile(path)).value()), 0));
    }
    cues.append(timelineCue(events));
    const QStringList found =
        texts(checked(cues, engine->show().assets.value(), true)).filter(QStringLiteral("素材无法读取 · "));
    ASSERT_EQ(found.size(), 2 * broken.size()) << found.join('\n').toStdString();
    for (qsizetype i = 0; i < broken.size(); ++i) {
        EXPECT_TRUE(found[i].startsWith(QStringLiteral("素材无法读取 · ") + QFileInfo(broken[i]).fileName()));
        EXPECT_EQ(found[i + broken.size()], found[i]);
    }

    edit([&](Show& show) { show.cues[0].main = QUrl::fromLocalFile(broken.last()); });
    engine->take(cue(0));
    EXPECT_TRUE(waitUntil([&] { return engine->message() == found[broken.size() - 1]; }))
        << "asked once more, then refused";
    EXPECT_FALSE(engine->current());
}

TEST_F(Preflight, AScreenThatLeavesOnceTheCueStopsIsAlreadyMissing)
{
    const MediaAsset image = addAsset(stillFile(Qt::red), AssetKind::image);
    TimelineEvent onThird = clip(image, 0, Track::side);
    onThird.outputScreen = kScreen3;
    setScreens({kScreen1, kScreen2, kScreen3});
    setTimeline(0, {onThird});
    engine->take(cue(0));
    ASSERT_TRUE(engine->current());

    // Taken off the screen list while its cue plays, the screen stays on air but the check names it.
    setScreens({kScreen1, kScreen2});
    ASSERT_TRUE(engine->program(kScreen3));
    const QStringList found = texts(checked({cue(0)}, engine->show().assets.value(), false));
    EXPECT_TRUE(found.contains(QStringLiteral("缺少屏幕 3"))) << found.join(QLatin1Char('\n')).toStdString();
}

// A press that is refused names its first finding alone: the check that stops at the first cue with findings gives
// that cue's findings as the whole check does, and none of the cues after it; a show without findings gives none.
TEST_F(Preflight, ACheckForTheFirstFindingStopsAtItsCue)
{
    const MediaAsset image = asset(stillFile(Qt::red), AssetKind::image);
    const MediaAsset gone = asset(url(QStringLiteral("gone.png")), AssetKind::image);
    TimelineEvent withoutAsset;
    withoutAsset.track = Track::main;
    const QList<Cue> cues{timelineCue({clip(image, 0)}), timelineCue({clip(gone, 0), withoutAsset}),
                          timelineCue({withoutAsset}), timelineCue({clip(gone, 1)})};
    const QList<Engine::PlaybackIssue> whole = checked(cues, {image, gone}, false);
    ASSERT_EQ(whole.size(), 4);
    const QList<Engine::PlaybackIssue> first = engine->playbackIssues(cues, {image, gone}, false, true);
    ASSERT_EQ(first.size(), 2);
    for (qsizetype i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].cue.id, cues[1].id);
        EXPECT_EQ(first[i].text, whole[i].text);
    }
    EXPECT_TRUE(engine->playbackIssues({cues[0], cues[0]}, {image}, false, true).isEmpty());
}

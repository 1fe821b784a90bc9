#include "awaitedfiles.h"
#include "enginefixture.h"
#include "mediafiles.h"
#include "stalledfolder.h"
#include "turnslices.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>
#include <unistd.h>

// Shows and libraries of thousands of files: the answers about them land on the right files, each change is told
// once, and work over all of them runs once every answer it needs is in, in the order it was given.
class ManyFiles : public EngineTest
{
  protected:
    static constexpr int kFiles = 3000;

    // `count` files in a folder of their own, each a link to one small picture.
    QList<QUrl> makeFiles(const QString& name, int count)
    {
        const QString where = path(name);
        QDir().mkpath(where);
        const QString model = MediaFixtures::png({8, 8}, Qt::darkCyan);
        QList<QUrl> files;
        for (int i = 0; i < count; ++i) {
            const QString file = where + QStringLiteral("/clip-%1.png").arg(i, 4, 10, QChar('0'));
            if (::link(qPrintable(model), qPrintable(file)) != 0)
                QFile::copy(model, file);
            files.append(QUrl::fromLocalFile(file));
        }
        return files;
    }
};

// Every round of answers tells each file whose answer changed once, in one list and then one by one; files asked
// again without change are not told; a folder that stalls tells its waiting files once, and once more when it
// answers again.
TEST_F(ManyFiles, ARoundOfAnswersTellsEachChangedFileOnce)
{
    StalledFolder share;
    const QList<QUrl> files = makeFiles(QStringLiteral("library"), kFiles);
    MediaFiles disk(std::make_shared<FileQuestions>([&share](const QUrl& url) {
        share.hangIfHeld(url);
        return ::isReadableFile(url);
    }));
    QList<QUrl> told;
    QList<QUrl> toldSingly;
    int rounds = 0;
    QObject::connect(&disk, &MediaFiles::answeredFiles, [&](const QList<QUrl>& round) {
        told += round;
        ++rounds;
    });
    QObject::connect(&disk, &MediaFiles::answered, [&](const QUrl& url) { toldSingly.append(url); });
    const auto allIn = [&] { return disk.questionsOnTheWay() == 0; };

    disk.refresh(files, FileDepth::readable);
    ASSERT_TRUE(waitUntil(allIn, 20000));
    EXPECT_EQ(told.size(), kFiles);
    EXPECT_EQ(QSet<QUrl>(told.cbegin(), told.cend()), QSet<QUrl>(files.cbegin(), files.cend()));
    EXPECT_EQ(toldSingly, told);
    EXPECT_LT(rounds, kFiles);
    for (const QUrl& url : files)
        ASSERT_TRUE(disk.known(url, FileDepth::readable)->readable) << url.toString().toStdString();

    told.clear();
    disk.refresh(files, FileDepth::readable, MediaFiles::Again::fromNow);
    ASSERT_TRUE(waitUntil(allIn, 20000));
    EXPECT_TRUE(told.isEmpty());

    ASSERT_TRUE(QFile::remove(files[17].toLocalFile()));
    ASSERT_TRUE(QFile::remove(files[kFiles - 1].toLocalFile()));
    disk.refresh(files, FileDepth::readable, MediaFiles::Again::fromNow);
    ASSERT_TRUE(waitUntil(allIn, 20000));
    EXPECT_EQ(told, (QList<QUrl>{files[17], files[kFiles - 1]}));
    EXPECT_FALSE(disk.known(files[17], FileDepth::readable)->readable);

    // The folder stops answering with every file asked again, twice: each is told once when it stalls.
    told.clear();
    toldSingly.clear();
    share.stall(path(QStringLiteral("library")));
    const quint64 revivals = disk.revivals();
    disk.refresh(files, FileDepth::readable, MediaFiles::Again::fromNow);
    disk.refresh(files, FileDepth::readable, MediaFiles::Again::fromNow);
    ASSERT_TRUE(waitUntil([&] { return disk.state(files[0], FileDepth::readable) == FileState::stalled; }, 5000));
    ASSERT_TRUE(waitUntil([&] { return told.size() >= kFiles; }, 5000));
    EXPECT_EQ(QSet<QUrl>(told.cbegin(), told.cend()).size(), told.size());
    EXPECT_EQ(toldSingly, told);
    EXPECT_EQ(disk.revivals(), revivals);

    told.clear();
    share.release();
    ASSERT_TRUE(waitUntil(allIn, 20000));
    EXPECT_EQ(disk.revivals(), revivals + 1);
    EXPECT_EQ(QSet<QUrl>(told.cbegin(), told.cend()).size(), told.size());
    EXPECT_EQ(disk.state(files[kFiles - 1], FileDepth::readable), FileState::answered);
}

// Work over thousands of files asked afresh runs once, after every file's new answer has come, and before the work
// given after it; work dropped while its files are still being asked never runs.
TEST_F(ManyFiles, WorkOverThousandsOfFilesRunsOnceWithEveryFreshAnswerInAndInOrder)
{
    const QList<QUrl> files = makeFiles(QStringLiteral("library"), kFiles);
    AwaitedFiles awaited(engine->mediaFiles());
    QStringList ran;
    int freshWhenRun = 0;
    awaited.await(files, FileDepth::readable, AwaitedFiles::Freshness::fresh, [&] {
        ran.append(QStringLiteral("all"));
        for (const QUrl& url : files) {
            const std::optional<FileAnswer> answer = engine->mediaFiles().known(url, FileDepth::readable);
            freshWhenRun += answer && answer->readable && !engine->mediaFiles().onTheWay(url);
        }
    });
    awaited.await({files.first()}, FileDepth::readable, AwaitedFiles::Freshness::known,
                  [&] { ran.append(QStringLiteral("one")); });
    EXPECT_TRUE(awaited.waiting());
    ASSERT_TRUE(waitUntil([&] { return !awaited.waiting(); }, 20000));
    EXPECT_EQ(ran, (QStringList{QStringLiteral("all"), QStringLiteral("one")}));
    EXPECT_EQ(freshWhenRun, kFiles);

    // A file gone meanwhile is answered afresh, not from what was known before.
    ASSERT_TRUE(QFile::remove(files[2500].toLocalFile()));
    bool goneSeen = false;
    awaited.await(files, FileDepth::readable, AwaitedFiles::Freshness::fresh,
                  [&] { goneSeen = !engine->mediaFiles().known(files[2500], FileDepth::readable)->readable; });
    ASSERT_TRUE(waitUntil([&] { return !awaited.waiting(); }, 20000));
    EXPECT_TRUE(goneSeen);

    // Work over each answer is given every file's place once, in order, before it ends.
    QList<qsizetype> places;
    qsizetype placesAtEnd = -1;
    awaited.await(
        files, FileDepth::readable, AwaitedFiles::Freshness::fresh, [&](qsizetype place) { places.append(place); },
        [&] { placesAtEnd = places.size(); });
    ASSERT_TRUE(waitUntil([&] { return !awaited.waiting(); }, 20000));
    EXPECT_EQ(placesAtEnd, kFiles);
    for (qsizetype i = 0; i < places.size(); ++i)
        ASSERT_EQ(places[i], i);

    bool dropped = true;
    awaited.await(files, FileDepth::readable, AwaitedFiles::Freshness::fresh, [&] { dropped = false; });
    awaited.cancelAll();
    ASSERT_TRUE(waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }, 20000));
    EXPECT_TRUE(dropped);
}

// A relink over thousands of references repoints each one, library entries and a cue's files alike, and counts them.
TEST_F(ManyFiles, ARelinkOfThousandsOfReferencesRepointsEachOne)
{
    const QList<QUrl> moved = makeFiles(QStringLiteral("moved"), kFiles);
    QList<QUrl> gone;
    for (const QUrl& url : moved)
        gone.append(url.resolved(QUrl(QStringLiteral("../gone/") + url.fileName())));
    edit([&](Show& show) {
        QList<MediaAsset> library;
        for (const QUrl& url : gone)
            library.append(asset(url, AssetKind::image));
        show.assets = library;
        show.cues[0].main = gone[1234];
    });

    engine->relinkMissingAssets(url(QStringLiteral("moved")));
    ASSERT_TRUE(waitUntil([&] { return engine->message().startsWith(QStringLiteral("已重新定位")); }, 30000))
        << engine->message().toStdString();
    EXPECT_EQ(engine->message(), QStringLiteral("已重新定位 %1 项素材引用").arg(kFiles + 1));
    const QList<MediaAsset> library = *engine->show().assets;
    ASSERT_EQ(library.size(), kFiles);
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(library[i].url, moved[i]) << i;
    EXPECT_EQ(engine->show().cues[0].main, moved[1234]);
}

// GO on a cue whose clips use thousands of files, pressed before the disk has answered about them: the check waits
// for the answers and then finds the one file that is missing, naming it; with it back, the cue goes on air.
TEST_F(ManyFiles, TheCheckOfACueOfThousandsOfClipsWaitsForTheirAnswersAndNamesTheMissingOne)
{
    awaitAnswers = false;
    const QList<QUrl> files = makeFiles(QStringLiteral("library"), kFiles);
    ASSERT_TRUE(QFile::rename(files[2999].toLocalFile(), path(QStringLiteral("aside.png"))));
    edit([&](Show& show) {
        QList<MediaAsset> library;
        QList<TimelineEvent> clips;
        for (int i = 0; i < kFiles; ++i) {
            library.append(asset(files[i], AssetKind::image));
            TimelineEvent clip;
            clip.track = Track::main;
            clip.time = i * 0.01;
            clip.imageDuration = 1;
            clip.assetID = library.last().id;
            clips.append(clip);
        }
        show.assets = library;
        show.cues[1].timeline = clips;
    });

    engine->take(cue(1), false, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return !engine->message().startsWith(QStringLiteral("正在检查素材")); }, 30000));
    EXPECT_EQ(engine->message(), QStringLiteral("素材缺失或类型不匹配 · clip-2999.png"));
    EXPECT_FALSE(engine->current());

    ASSERT_TRUE(QFile::rename(path(QStringLiteral("aside.png")), files[2999].toLocalFile()));
    engine->take(cue(1), false, std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return engine->current().has_value(); }, 30000)) << engine->message().toStdString();
    EXPECT_EQ(engine->current()->id, cue(1).id);
}

// Work over thousands of items leaves the event loop its turns: other events run between its slices, it is given
// every place once and in order before it ends, and nothing more of it runs once its context is gone.
TEST_F(ManyFiles, WorkInSlicesGivesEachPlaceInOrderAndLetsOtherEventsRunBetween)
{
    constexpr qsizetype kItems = 2000;
    // 20 µs an item: the whole takes about ten slices.
    const auto busy = [] {
        QElapsedTimer spent;
        spent.start();
        while (spent.nsecsElapsed() < 20'000) {
        }
    };
    int turns = 0;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] { ++turns; });
    turn.start(0);

    QObject context;
    QList<qsizetype> places;
    int turnsBeforeEnd = -1;
    runInSlices(
        &context, kItems,
        [&](qsizetype place) {
            busy();
            places.append(place);
        },
        [&] { turnsBeforeEnd = turns; });
    EXPECT_EQ(turnsBeforeEnd, -1);
    ASSERT_TRUE(waitUntil([&] { return turnsBeforeEnd >= 0; }, 10000));
    EXPECT_GE(turnsBeforeEnd, 3);
    ASSERT_EQ(places.size(), kItems);
    for (qsizetype i = 0; i < kItems; ++i)
        ASSERT_EQ(places[i], i);

    auto owner = std::make_unique<QObject>();
    qsizetype given = 0;
    bool ended = false;
    runInSlices(
        owner.get(), kItems,
        [&](qsizetype) {
            busy();
            ++given;
        },
        [&] { ended = true; });
    owner.reset();
    const qsizetype givenAtEnd = given;
    const int turnsAtEnd = turns;
    ASSERT_TRUE(waitUntil([&] { return turns >= turnsAtEnd + 10; }, 10000));
    EXPECT_LT(givenAtEnd, kItems);
    EXPECT_EQ(given, givenAtEnd);
    EXPECT_FALSE(ended);
}

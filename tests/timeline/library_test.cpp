#include "mediafile.h"
#include "mediafiles.h"
#include "projectfile.h"
#include "stalledfolder.h"
#include "timelinefixture.h"

#include <QDir>

using MediaLibrary = TimelineTest;

// The import's folder answers only once the test lets it.
class HeldImport : public TimelineTest
{
  protected:
    void SetUp() override
    {
        isReadableFile = [held = held](const QUrl& url) {
            held->hangIfHeld(url);
            return ::isReadableFile(url);
        };
        TimelineTest::SetUp();
    }
    void TearDown() override { held->release(); }

    std::shared_ptr<StalledFolder> held = std::make_shared<StalledFolder>();
};

// An open drops an import still reading its files: nothing lands on the opened show, and the library's note no longer
// says it reads, with the answers held back until after the open as with them in before it.
TEST_F(HeldImport, AnOpenDropsAnImportStillReadingAndTheNoteWithIt)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    const QUrl picture = QUrl::fromLocalFile(share + "/green.png");
    ASSERT_TRUE(QFile::copy(MediaFixtures::png({8, 8}, Qt::green), picture.toLocalFile()));
    ASSERT_EQ(save(url("show.json")), std::nullopt);
    for (const bool answersHeld : {false, true}) {
        SCOPED_TRACE(answersHeld ? "answers held back" : "answers in at once");
        if (answersHeld)
            held->stall(share);
        model->library().addAssets({picture});
        if (!answersHeld)
            awaitImport();
        else
            EXPECT_EQ(model->view().note(), QStringLiteral("正在读取 1 个文件…"));
        ASSERT_EQ(open(url("show.json")), std::nullopt);
        held->release();
        ASSERT_TRUE(waitUntil([&] { return engine->mediaFiles().questionsOnTheWay() == 0; }));
        settle();
        EXPECT_FALSE(model->library().importing());
        EXPECT_NE(model->view().note(), QStringLiteral("正在读取 1 个文件…"));
        EXPECT_TRUE(engine->show().assets.value_or(QList<MediaAsset>{}).isEmpty());
    }
}

TEST_F(MediaLibrary, AddsEachReadableMediaFileOnceAndCountsTheRest)
{
    const QString still = MediaFixtures::png({8, 8}, Qt::green);
    const QString unknown = MediaFixtures::file(QStringLiteral("notes.txt"), "text");
    const QString messy = QFileInfo(still).absolutePath() + QStringLiteral("/./") + QFileInfo(still).fileName();
    model->library().addAssets({QUrl::fromLocalFile(still), QUrl::fromLocalFile(messy), QUrl::fromLocalFile(unknown),
                                QUrl::fromLocalFile(folder.path()), QUrl::fromLocalFile(MediaFixtures::missing()),
                                QUrl(QStringLiteral("https://example.com/a.png"))});
    awaitImport();
    ASSERT_EQ(model->cue().assets().size(), 1);
    EXPECT_EQ(model->cue().assets()[0].url, QUrl::fromLocalFile(still));
    EXPECT_EQ(model->cue().assets()[0].kind, AssetKind::image);
    EXPECT_EQ(model->selection().assetID(), model->cue().assets()[0].id);
    EXPECT_EQ(model->view().note(), QStringLiteral("素材库 · 1 项 · 跳过 4 个不支持或无法读取的文件"));
    EXPECT_EQ(undoSteps(), 1);

    // Nothing new: the note is shown, the show is not written.
    model->selection().setAssetID(std::nullopt);
    model->library().addAssets({QUrl::fromLocalFile(still)});
    awaitImport();
    EXPECT_EQ(model->view().note(), QStringLiteral("素材库 · 1 项"));
    EXPECT_EQ(model->selection().assetID(), model->cue().assets()[0].id);
    model->library().addAssets({QUrl::fromLocalFile(unknown)});
    awaitImport();
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(MediaLibrary, RemovalIsRefusedWhileAnyCueUsesTheEntry)
{
    const MediaAsset used = addImage();
    const MediaAsset unused = addAudio();
    edit([&](Show& show) { show.cues[2].timeline = QList<TimelineEvent>{clip(used, 0)}; });
    model->selection().setAssetID(used.id);
    model->library().removeAsset();
    EXPECT_EQ(model->view().note(), QStringLiteral("此素材仍被时间轴使用，请先删除或替换对应事件。"));
    EXPECT_EQ(model->cue().assets().size(), 2);
    EXPECT_EQ(model->selection().assetID(), used.id);

    model->selection().setAssetID(unused.id);
    model->library().removeAsset();
    EXPECT_EQ(model->cue().assets(), QList<MediaAsset>{used});
    EXPECT_EQ(model->selection().assetID(), std::nullopt);
    EXPECT_EQ(model->view().note(), QString());
}

// An inserted file, the lane made for it and its clip are one edit; a lane made for a clip that did not fit is not
// kept, while the file stays in the library.
TEST_F(MediaLibrary, InsertingAFileIsOneEditAndKeepsANewLaneOnlyWithItsClip)
{
    const QUrl sound = audioFile(QStringLiteral("cue.wav"));
    int steps = undoSteps();
    model->library().insertFile(sound, lane(Track::effects, 2), 3);
    awaitImport();
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(cue(0).extraLanes, QList<TimelineLane>{lane(Track::effects, 2)});
    EXPECT_EQ(laneOf(events().last()), lane(Track::effects, 2));
    EXPECT_EQ(model->selection().eventID(), events().last().id);

    // The open-ended sound at 3 s leaves no room after it on its lane.
    setEvents({clip(model->cue().assets()[0], 3, Track::effects, 4)});
    steps = undoSteps();
    const QUrl more = audioFile(QStringLiteral("more.wav"));
    model->library().insertFile(more, lane(Track::effects, 4), 10);
    awaitImport();
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(model->cue().assets().size(), 2);
    EXPECT_EQ(events().size(), 1);
    EXPECT_EQ(model->view().note(), QStringLiteral("同一轨道的素材不能重叠，请调整位置或层级。"));

    model->library().insertFile(audioFile(QStringLiteral("third.wav")), lane(Track::effects, 7), -1);
    awaitImport();
    EXPECT_EQ(undoSteps(), steps + 2);
    EXPECT_EQ(model->cue().assets().size(), 3);
    EXPECT_FALSE(cue(0).extraLanes->contains(lane(Track::effects, 7)));
    EXPECT_EQ(model->view().note(), QStringLiteral("请输入 0 至 86400 秒"));

    // A file the lane cannot hold is only added to the library.
    model->library().insertFile(QUrl::fromLocalFile(MediaFixtures::png({4, 4}, Qt::white)), lane(Track::music), 0);
    awaitImport();
    EXPECT_EQ(model->cue().assets().size(), 4);
    EXPECT_EQ(events().size(), 1);
}

// Imports wait for a share's answers in turn among the engine's waiting edits. Pressed with the share's answers held
// back and with them in at once, the presses end the same: an undo takes back the newest waiting import (a file put
// on a lane), never the edit before it, and an open drops the imports still waiting, so that none lands on the opened
// show.
using HeldLibrary = HeldImport;

TEST_F(HeldLibrary, AnUndoOrAnOpenTakesBackTheImportsStillWaiting)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    Show other = Show::makeDefault();
    other.cues[0].name = QStringLiteral("另一场演出");
    writeShowFile(other, path("other.json"), JsonFormat::pretty);
    int round = 0;
    const auto onShare = [&](const QString& name, const QString& from) {
        const QString file = share + QStringLiteral("/%1-%2").arg(++round).arg(name);
        QFile::copy(from, file);
        return QUrl::fromLocalFile(file);
    };
    // The cues by name and clip count, the library's files and the undo steps.
    const auto endState = [&] {
        QStringList cues;
        for (const Cue& cue : engine->show().cues)
            cues << cue.name + "/" + QString::number(cue.timeline.value_or(QList<TimelineEvent>{}).size());
        QStringList files;
        for (const MediaAsset& asset : engine->show().assets.value_or(QList<MediaAsset>{}))
            files << asset.url.fileName().section('-', 1);
        return QStringList{cues.join(", "), files.join(", "), QString::number(engine->editHistory()->index())}.join(
            " | ");
    };
    for (const bool opens : {false, true})
        for (const bool isHeld : {false, true}) {
            SCOPED_TRACE(std::string(opens ? "then open" : "then undo") +
                         (isHeld ? ", answers held back" : ", answers in at once"));
            held->release();
            // Each pass opens over unsaved work of its own, in a recovery folder of its own: none parked by the pass
            // before is on offer.
            model.reset();
            engine.reset();
            engine = makeEngine(true, folder.filePath(QStringLiteral("recovery%1").arg(opens * 2 + isHeld)));
            model = std::make_unique<TimelineEditorModel>(engine.get());
            if (isHeld)
                held->stall(share);
            rename(0, QStringLiteral("改过的暖场"));
            model->library().addAssets({onShare("still.png", MediaFixtures::png({8, 8}, Qt::green))});
            if (!isHeld)
                awaitImport();
            model->library().insertFile(onShare("sound.wav", audioFile(QStringLiteral("sound.wav")).toLocalFile()),
                                        lane(Track::effects, 2), 1);
            if (!isHeld)
                awaitImport();
            if (opens) {
                ASSERT_EQ(open(url("other.json")), std::nullopt);
            } else {
                // The insertion is the newest action: undone at its place, as it would be had it landed, and the line
                // keeps saying what it said.
                const QString line = engine->message();
                engine->undo();
                EXPECT_EQ(engine->message().toStdString(), line.toStdString());
            }
            held->release();
            awaitImport();
            EXPECT_EQ(endState().toStdString(),
                      opens ? "另一场演出/0, 开场/0, 退场/0 |  | 0" : "改过的暖场/0, 开场/0, 退场/0 | still.png | 2");
            if (opens && isHeld) {
                EXPECT_EQ(engine->message().toStdString(), "工程已打开 · 已放弃 2 项尚未完成的修改");
            }
        }
}

// An import lands on the library as it is when the answers are in: a file the library holds already is not added
// again, nor a file named twice, and an entry removed while the import read its files stays removed, as it would
// had the import landed at its press.
TEST_F(HeldImport, LandsOnTheLibraryAsItIsWhenTheAnswersAreIn)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    const QString still = MediaFixtures::png({8, 8}, Qt::green);
    const auto onShare = [&](const QString& name) {
        const QString file = share + "/" + name;
        QFile::copy(still, file);
        return QUrl::fromLocalFile(file);
    };
    const QUrl known = onShare("known.png");
    const QUrl fresh = onShare("fresh.png");
    for (const bool editedMeanwhile : {false, true}) {
        SCOPED_TRACE(editedMeanwhile ? "library edited meanwhile" : "library as asked");
        Show show = engine->show();
        MediaAsset kept;
        kept.url = known;
        MediaAsset other;
        other.url = QUrl::fromLocalFile(still);
        show.assets = QList<MediaAsset>{kept, other};
        engine->setShow(show);
        const int stepsBefore = undoSteps();
        held->stall(share);
        model->library().addAssets({fresh, known, fresh});
        ASSERT_TRUE(model->library().importing());
        if (editedMeanwhile) {
            show.assets->removeFirst();
            engine->setShow(show);
        }
        held->release();
        awaitImport();
        QStringList files;
        for (const MediaAsset& asset : *engine->show().assets)
            files << asset.url.fileName();
        const std::string otherName = QFileInfo(still).fileName().toStdString();
        EXPECT_EQ(files.join(", ").toStdString(),
                  editedMeanwhile ? otherName + ", fresh.png" : "known.png, " + otherName + ", fresh.png");
        if (!editedMeanwhile) {
            EXPECT_EQ(engine->show().assets->first().id, kept.id);
        }
        EXPECT_EQ(undoSteps(), stepsBefore + 1 + editedMeanwhile);
    }
}

// A file put on a lane while its share's answers are held back, then that lane deleted: the lane and the clip go
// with the deletion, as they would had the file landed at once, and a default lane stays hidden; the file stays in
// the library. Undo brings the lane back with the clip.
TEST_F(HeldLibrary, ALaneDeletedWhileItsFileIsOnItsWayGoesWithTheClip)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    int round = 0;
    for (const TimelineLane& target : {lane(Track::music), lane(Track::effects, 2)})
        for (const bool isHeld : {false, true}) {
            SCOPED_TRACE(std::string(target.layer == 1 ? "the default music lane" : "an added effects lane") +
                         (isHeld ? ", answers held back" : ", answers in at once"));
            setEvents({});
            edit([&](Show& show) {
                show.cues[0].hiddenDefaultLanes = std::nullopt;
                show.cues[0].extraLanes = QList<TimelineLane>{lane(Track::effects, 2)};
            });
            const QString file = share + QStringLiteral("/sound%1.wav").arg(++round);
            QFile::copy(audioFile(QStringLiteral("sound.wav")).toLocalFile(), file);
            if (isHeld)
                held->stall(share);
            model->library().insertFile(QUrl::fromLocalFile(file), target, 1);
            if (!isHeld)
                awaitImport();
            model->edits().deleteLayer(target);
            held->release();
            awaitImport();
            EXPECT_FALSE(model->cue().lanes().contains(target));
            EXPECT_TRUE(events().isEmpty());
            EXPECT_EQ(model->cue().assets().last().url.fileName(), QFileInfo(file).fileName());

            engine->undo();
            EXPECT_TRUE(model->cue().lanes().contains(target));
            ASSERT_EQ(events().size(), 1);
            EXPECT_EQ(laneOf(events().first()), target);
        }
}

// An import that lands selects what it added and says so in the note as it would at its press: an entry the operator
// selected meanwhile stays selected.
TEST_F(HeldLibrary, AnImportThatLandsLeavesAnEntrySelectedMeanwhile)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    const MediaAsset kept = addImage();
    int round = 0;
    for (const bool isHeld : {false, true}) {
        SCOPED_TRACE(isHeld ? "answers held back" : "answers in at once");
        const QString file = share + QStringLiteral("/still%1.png").arg(++round);
        QFile::copy(MediaFixtures::png({8, 8}, Qt::green), file);
        model->selection().setAssetID(std::nullopt);
        if (isHeld)
            held->stall(share);
        model->library().addAssets({QUrl::fromLocalFile(file)});
        if (!isHeld)
            awaitImport();
        model->selection().setAssetID(kept.id);
        held->release();
        awaitImport();
        EXPECT_EQ(model->selection().assetID(), kept.id);
        EXPECT_EQ(model->view().note(), QStringLiteral("素材库 · %1 项").arg(engine->show().assets->size()));
    }
}

// Two imports, the first on a share whose answers come late: the one pressed last keeps the selection; a cue selected
// after the presses takes the note away, as it would had the files answered at once.
TEST_F(HeldLibrary, ImportsThatLandLateEndAsAtTheirPresses)
{
    const QString share = folder.filePath("share");
    ASSERT_TRUE(QDir().mkpath(share));
    int round = 0;
    for (const bool isHeld : {false, true}) {
        SCOPED_TRACE(isHeld ? "answers held back" : "answers in at once");
        const QString slow = share + QStringLiteral("/slow%1.png").arg(++round);
        const QString quick = folder.filePath(QStringLiteral("quick%1.png").arg(round));
        QFile::copy(MediaFixtures::png({8, 8}, Qt::green), slow);
        QFile::copy(MediaFixtures::png({8, 8}, Qt::red), quick);
        if (isHeld)
            held->stall(share);
        model->library().addAssets({QUrl::fromLocalFile(slow)});
        if (!isHeld)
            awaitImport();
        model->library().addAssets({QUrl::fromLocalFile(quick)});
        if (!isHeld)
            awaitImport();
        engine->setSelected(std::nullopt);
        engine->setSelected(engine->show().cues.first().id);
        held->release();
        awaitImport();
        const QList<MediaAsset> entries = engine->show().assets.value_or(QList<MediaAsset>{});
        ASSERT_FALSE(entries.isEmpty());
        EXPECT_EQ(model->selection().assetID(), entries.last().id);
        EXPECT_EQ(entries.last().url, QUrl::fromLocalFile(quick));
        EXPECT_EQ(model->view().note(), QString());
    }
}

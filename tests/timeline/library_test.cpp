#include "timelinefixture.h"

#include <QDir>

using MediaLibrary = TimelineTest;

TEST_F(MediaLibrary, AddsEachReadableMediaFileOnceAndCountsTheRest)
{
    const QString still = MediaFixtures::png({8, 8}, Qt::green);
    const QString unknown = MediaFixtures::file(QStringLiteral("notes.txt"), "text");
    const QString messy = QFileInfo(still).absolutePath() + QStringLiteral("/./") + QFileInfo(still).fileName();
    model->addAssets({QUrl::fromLocalFile(still), QUrl::fromLocalFile(messy), QUrl::fromLocalFile(unknown),
                      QUrl::fromLocalFile(folder.path()), QUrl::fromLocalFile(MediaFixtures::missing()),
                      QUrl(QStringLiteral("https://example.com/a.png"))});
    ASSERT_EQ(model->assets().size(), 1);
    EXPECT_EQ(model->assets()[0].url, QUrl::fromLocalFile(still));
    EXPECT_EQ(model->assets()[0].kind, AssetKind::image);
    EXPECT_EQ(model->assetID(), model->assets()[0].id);
    EXPECT_EQ(model->note(), QStringLiteral("素材库 · 1 项 · 跳过 4 个不支持或无法读取的文件"));
    EXPECT_EQ(undoSteps(), 1);

    // Nothing new: the note is shown, the show is not written.
    model->setAssetID(std::nullopt);
    model->addAssets({QUrl::fromLocalFile(still)});
    EXPECT_EQ(model->note(), QStringLiteral("素材库 · 1 项"));
    EXPECT_EQ(model->assetID(), model->assets()[0].id);
    model->addAssets({QUrl::fromLocalFile(unknown)});
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(MediaLibrary, RemovalIsRefusedWhileAnyCueUsesTheEntry)
{
    const MediaAsset used = addImage();
    const MediaAsset unused = addAudio();
    edit([&](Show& show) { show.cues[2].timeline = QList<TimelineEvent>{clip(used, 0)}; });
    model->setAssetID(used.id);
    model->removeAsset();
    EXPECT_EQ(model->note(), QStringLiteral("此素材仍被时间轴使用，请先删除或替换对应事件。"));
    EXPECT_EQ(model->assets().size(), 2);
    EXPECT_EQ(model->assetID(), used.id);

    model->setAssetID(unused.id);
    model->removeAsset();
    EXPECT_EQ(model->assets(), QList<MediaAsset>{used});
    EXPECT_EQ(model->assetID(), std::nullopt);
    EXPECT_EQ(model->note(), QString());
}

// An inserted file, the lane made for it and its clip are one edit; a lane made for a clip that did not fit is not
// kept, while the file stays in the library.
TEST_F(MediaLibrary, InsertingAFileIsOneEditAndKeepsANewLaneOnlyWithItsClip)
{
    const QUrl sound = audioFile(QStringLiteral("cue.wav"));
    int steps = undoSteps();
    model->insertFile(sound, lane(Track::effects, 2), 3);
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(cue(0).extraLanes, QList<TimelineLane>{lane(Track::effects, 2)});
    EXPECT_EQ(laneOf(events().last()), lane(Track::effects, 2));
    EXPECT_EQ(model->eventID(), events().last().id);

    // The open-ended sound at 3 s leaves no room after it on its lane.
    setEvents({clip(model->assets()[0], 3, Track::effects, 4)});
    steps = undoSteps();
    const QUrl more = audioFile(QStringLiteral("more.wav"));
    model->insertFile(more, lane(Track::effects, 4), 10);
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(model->assets().size(), 2);
    EXPECT_EQ(events().size(), 1);
    EXPECT_EQ(model->note(), QStringLiteral("同一轨道的素材不能重叠，请调整位置或层级。"));

    model->insertFile(audioFile(QStringLiteral("third.wav")), lane(Track::effects, 7), -1);
    EXPECT_EQ(undoSteps(), steps + 2);
    EXPECT_EQ(model->assets().size(), 3);
    EXPECT_FALSE(cue(0).extraLanes->contains(lane(Track::effects, 7)));
    EXPECT_EQ(model->note(), QStringLiteral("请输入 0 至 86400 秒"));

    // A file the lane cannot hold is only added to the library.
    model->insertFile(QUrl::fromLocalFile(MediaFixtures::png({4, 4}, Qt::white)), lane(Track::music), 0);
    EXPECT_EQ(model->assets().size(), 4);
    EXPECT_EQ(events().size(), 1);
}

#include "enginefixture.h"
#include "eventwait.h"

// A run over a cue of thousands of clips: its check gathers the files over turns of the event loop, and must end as
// the check of a small show does, on the show as it stands at each press.
class LargeCheck : public EngineTest
{
  protected:
    static constexpr int kClips = 6000;

    // The first cue shows kClips clips of one picture, each its own library entry; the second cue's one clip is
    // the file given.
    void makeShow(const QUrl& second)
    {
        edit([&](Show& show) {
            QList<MediaAsset> assets;
            QList<TimelineEvent> clips;
            const QUrl picture = stillFile(Qt::red);
            for (int i = 0; i < kClips; ++i) {
                assets.append(asset(picture, AssetKind::image));
                clips.append(clip(assets.last(), 10.0 * i));
            }
            assets.append(asset(second, AssetKind::image));
            show.assets = assets;
            show.cues[0].timeline = clips;
            show.cues[1].timeline = QList<TimelineEvent>{clip(assets.last(), 0)};
            show.cues.resize(2);
        });
    }
    void relinkSecond(const QUrl& to)
    {
        edit([&](Show& show) { show.assets->last().url = to; });
    }
    // The run's start, from the press to its outcome: whether it waited for its files, and whether it started.
    std::pair<bool, bool> run()
    {
        engine->stop(true);
        EXPECT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
        const bool waited = engine->message().startsWith(QStringLiteral("正在检查素材"));
        EXPECT_TRUE(waitUntil([&] { return !engine->message().startsWith(QStringLiteral("正在检查素材")); }));
        return {waited, engine->projectionMode().has_value()};
    }
};

TEST_F(LargeCheck, ARunWaitsForItsFilesToBeGatheredAndJudgesTheShowOfEachPress)
{
    const QUrl gone = url(QStringLiteral("gone.png"));
    makeShow(gone);
    const QString refusal = cue(1).name + QStringLiteral(" · 素材缺失或类型不匹配 · gone.png");

    const auto [waited, started] = run();
    EXPECT_TRUE(waited) << "a large check gathers its files over turns";
    EXPECT_FALSE(started);
    EXPECT_EQ(engine->message(), refusal);

    // Each press is judged on the show it was made on, never on what an earlier check gathered.
    relinkSecond(stillFile(Qt::green));
    EXPECT_TRUE(run().second) << engine->message().toStdString();
    relinkSecond(gone);
    EXPECT_FALSE(run().second);
    EXPECT_EQ(engine->message(), refusal);

    // Lists equal in size but not the same lists are read afresh, however recent the check of the others.
    const QList<Cue> cues = engine->show().cues;
    const QList<MediaAsset> assets = *engine->show().assets;
    QList<MediaAsset> relinked = assets;
    relinked.last().url = stillFile(Qt::green);
    EXPECT_EQ(checked(cues, assets, false).size(), 1);
    EXPECT_TRUE(checked(cues, relinked, false).isEmpty());
    EXPECT_EQ(checked(cues, assets, false).size(), 1);

    // Pressed again on the same show, the gathered files serve again: the same finding.
    EXPECT_FALSE(run().second);
    EXPECT_EQ(engine->message(), refusal);
}

TEST_F(LargeCheck, WhatIsPressedWhileTheFilesAreGatheredTakesItsTurnAfterTheRun)
{
    makeShow(stillFile(Qt::green));
    engine->stop(true);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    ASSERT_TRUE(engine->message().startsWith(QStringLiteral("正在检查素材")));
    // A take of the second cue waits behind the run's start, and the run refuses takes once it is on.
    engine->take(cue(1));
    ASSERT_TRUE(waitUntil([&] { return engine->projectionMode().has_value(); })) << engine->message().toStdString();
    EXPECT_TRUE(waitUntil([&] { return engine->current() && engine->current()->id == cue(0).id; }));

    // A stop while the files are gathered drops the run: a small press after it is the next thing done.
    engine->stop(true);
    ASSERT_TRUE(engine->beginProjection(ProjectionMode::playlistOnce, std::nullopt));
    engine->stop(true);
    edit([&](Show& show) { show.cues[1].timeline.reset(); });
    edit([&](Show& show) { show.cues[1].main = stillFile(Qt::blue); });
    ASSERT_TRUE(engine->take(cue(1)));
    ASSERT_TRUE(waitUntil([&] { return engine->current() && engine->current()->id == cue(1).id; }));
    EXPECT_FALSE(engine->projectionMode());
}

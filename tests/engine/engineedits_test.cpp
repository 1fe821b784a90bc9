#include "edithistory.h"
#include "enginefixture.h"

#include <QSignalSpy>
#include <limits>

using Edits = EngineTest;

TEST_F(Edits, IdenticalWriteRecordsNothing)
{
    QSignalSpy shown(engine.get(), &Engine::showChanged);
    engine->setShow(engine->show());
    rename(0, cue(0).name);
    EXPECT_EQ(engine->editHistory()->count(), 0);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_EQ(shown.count(), 0);
}

// Unsaved follows the show against the last saved one, not the position in the history.
TEST_F(Edits, UndoRedoRoundTripsAndUnsavedFollowsTheShow)
{
    const Show start = engine->show();
    rename(0, QStringLiteral("A"));
    const Show edited = engine->show();
    EXPECT_TRUE(engine->hasUnsavedChanges());
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), start);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    engine->editHistory()->redo();
    EXPECT_EQ(engine->show(), edited);
    EXPECT_TRUE(engine->hasUnsavedChanges());

    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    engine->editHistory()->undo();
    EXPECT_TRUE(engine->hasUnsavedChanges());
    engine->editHistory()->redo();
    EXPECT_FALSE(engine->hasUnsavedChanges());
}

TEST_F(Edits, DragIsOneStepUnlessPausedOrInterruptedByAClick)
{
    const Show start = engine->show();
    engine->history().beginDrag();
    for (int position = 1; position <= 30; ++position) {
        clock->now += position == 30 ? 0.39 : 0.016;
        edit([&](Show& show) { show.cues[0].delay = position; });
    }
    EXPECT_EQ(engine->editHistory()->count(), 1) << "a pause shorter than 0.4 s keeps the step";
    clock->now += 0.41;
    edit([](Show& show) { show.cues[0].delay = 31; });
    EXPECT_EQ(engine->editHistory()->count(), 2) << "a longer pause starts a new step";
    engine->history().endDrag();
    const Show end = engine->show();
    engine->editHistory()->undo();
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), start);
    engine->editHistory()->redo();
    engine->editHistory()->redo();
    EXPECT_EQ(engine->show(), end);

    clock->now += 0.1;
    rename(1, QStringLiteral("点击"));
    engine->history().beginDrag();
    clock->now += 0.1;
    edit([](Show& show) { show.cues[0].delay = 32; });
    engine->history().endDrag();
    EXPECT_EQ(engine->editHistory()->count(), 4) << "a click between drags starts a new step";
}

TEST_F(Edits, ClicksAndDragsCloseTogetherAreStepsOfTheirOwn)
{
    for (int click = 1; click <= 2; ++click) {
        clock->now += 0.1;
        rename(0, QString::number(click));
    }
    EXPECT_EQ(engine->editHistory()->count(), 2);
    for (int drag = 1; drag <= 2; ++drag) {
        engine->history().beginDrag();
        clock->now += 0.1;
        edit([&](Show& show) { show.cues[0].delay = drag; });
        engine->history().endDrag();
    }
    EXPECT_EQ(engine->editHistory()->count(), 4);
}

TEST_F(Edits, WritesOfOneOperationAreOneStep)
{
    engine->addScreen();
    const Show before = engine->show();
    {
        const EditHistory::Group oneStep(engine->history());
        for (const ScreenRole& role : {kScreen1, kScreen2}) {
            ProjectorMapping mapping;
            mapping.enabled = true;
            engine->setMapping(mapping, role);
        }
    }
    rename(0, QStringLiteral("之后"));
    EXPECT_EQ(engine->editHistory()->count(), 3);
    engine->editHistory()->undo();
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), before);
}

TEST_F(Edits, UndoRemakesRemovedScreensAndMovesOffAVanishedSelection)
{
    engine->addScreen();
    engine->removeScreen(kScreen2);
    EXPECT_EQ(engine->program(kScreen2), nullptr);
    engine->editHistory()->undo();
    EXPECT_NE(engine->program(kScreen2), nullptr);
    EXPECT_NE(engine->preview(kScreen2), nullptr);

    Cue added;
    edit([&](Show& show) { show.cues.append(added); });
    engine->setSelected(added.id);
    engine->editHistory()->undo();
    EXPECT_EQ(engine->selected(), cue(0).id);
}

// A measured length is the machine's, not the operator's: no step, no unsaved mark, and undo does not take it away.
TEST_F(Edits, MeasuredLengthIsNoEditAndOutlivesUndo)
{
    const MediaAsset film = addAsset(videoFile(QStringLiteral("film.mp4")), AssetKind::video);
    EXPECT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    const int steps = engine->editHistory()->count();
    const auto duration = [&] {
        const QList<MediaAsset> assets = engine->show().assets.value_or(QList<MediaAsset>{});
        return assets.isEmpty() ? std::nullopt : assets.first().duration;
    };

    EXPECT_FALSE(engine->storeMeasuredDuration(film.id, videoFile(QStringLiteral("other.mp4")), 3));
    EXPECT_FALSE(engine->storeMeasuredDuration(film.id, film.url, std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(duration());
    EXPECT_TRUE(engine->storeMeasuredDuration(film.id, film.url, 12.5));
    EXPECT_EQ(duration(), 12.5);
    EXPECT_EQ(engine->editHistory()->count(), steps);
    EXPECT_FALSE(engine->hasUnsavedChanges());

    rename(0, QStringLiteral("A"));
    engine->editHistory()->undo();
    EXPECT_EQ(duration(), 12.5);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    engine->editHistory()->undo();
    EXPECT_FALSE(duration()) << "the entry itself was an edit";
    engine->editHistory()->redo();
    EXPECT_EQ(duration(), 12.5);
}

// What the engine keeps worked out for its show (its screens, each entry's place in the library) follows every
// edit, undo and open, and a measured length changes neither.
TEST_F(Edits, ScreensAndEntryPlacesFollowEveryChangeOfTheShow)
{
    const MediaAsset film = addAsset(videoFile(QStringLiteral("film.mp4")), AssetKind::video);
    const MediaAsset tone = addAsset(audioFile(QStringLiteral("tone.wav")), AssetKind::audio);
    TimelineEvent clip;
    clip.track = Track::main;
    clip.assetID = tone.id;
    const auto entryOfClip = [&] { return engine->asset(clip); };
    const auto agreesWithShow = [&] { return engine->showScreens() == engine->show().screens(); };
    EXPECT_EQ(engine->showScreens(), QList<ScreenRole>{kScreen1});
    EXPECT_EQ(entryOfClip(), tone);

    TimelineEvent side = clip;
    side.id = newUuid();
    side.track = Track::side;
    edit([&](Show& show) { show.cues[0].timeline = QList<TimelineEvent>{clip, side}; });
    EXPECT_EQ(engine->showScreens(), (QList<ScreenRole>{kScreen1, kScreen2}));
    edit([&](Show& show) { show.assets->swapItemsAt(0, 1); });
    EXPECT_EQ(entryOfClip(), engine->show().assets->at(0));
    EXPECT_TRUE(engine->storeMeasuredDuration(tone.id, tone.url, 4));
    EXPECT_EQ(entryOfClip()->duration, 4);
    EXPECT_TRUE(agreesWithShow());

    engine->editHistory()->undo();
    EXPECT_EQ(entryOfClip(), engine->show().assets->at(1));
    EXPECT_EQ(entryOfClip()->duration, 4);
    engine->editHistory()->undo();
    EXPECT_EQ(engine->showScreens(), QList<ScreenRole>{kScreen1});
    edit([&](Show& show) { show.assets->removeLast(); });
    EXPECT_EQ(entryOfClip(), std::nullopt);
    edit([&](Show& show) { show.assets->append(tone); });
    EXPECT_EQ(entryOfClip()->url, tone.url);

    ASSERT_EQ(save(url(QStringLiteral("show.json"))), std::nullopt);
    edit([&](Show& show) { show.outputScreens = QList<ScreenRole>{kScreen2}; });
    EXPECT_EQ(engine->showScreens(), QList<ScreenRole>{kScreen2});
    ASSERT_EQ(open(url(QStringLiteral("show.json"))), std::nullopt);
    EXPECT_TRUE(agreesWithShow());
    EXPECT_EQ(entryOfClip()->url, tone.url);
    EXPECT_EQ(engine->show().assets->first().id, film.id);
}

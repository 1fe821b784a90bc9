#include "enginefixture.h"
#include "picture.h"

#include <QSignalSpy>

using EditHistory = EngineTest;

TEST_F(EditHistory, IdenticalWriteRecordsNothing)
{
    QSignalSpy shown(engine.get(), &Engine::showChanged);
    engine->setShow(engine->show());
    rename(0, QStringLiteral("暖场"));
    EXPECT_EQ(engine->editHistory()->count(), 0);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_EQ(shown.count(), 0);
}

TEST_F(EditHistory, EditMarksUnsavedAndUndoRedoRoundTrips)
{
    const Show start = engine->show();
    rename(0, QStringLiteral("A"));
    const Show edited = engine->show();
    EXPECT_TRUE(engine->hasUnsavedChanges());
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), start);
    EXPECT_FALSE(engine->hasUnsavedChanges());
    EXPECT_TRUE(engine->editHistory()->canRedo());
    engine->editHistory()->redo();
    EXPECT_EQ(engine->show(), edited);
    EXPECT_TRUE(engine->hasUnsavedChanges());
    EXPECT_TRUE(engine->editHistory()->canUndo());
}

TEST_F(EditHistory, DragThroughThirtyPositionsIsOneStep)
{
    const Show start = engine->show();
    dragging = true;
    for (int position = 1; position <= 30; ++position) {
        clock->now += 0.016;
        edit([&](Show& show) { show.cues[0].delay = position; });
    }
    dragging = false;
    EXPECT_EQ(engine->editHistory()->count(), 1);
    const Show end = engine->show();
    engine->editHistory()->undo();
    EXPECT_EQ(engine->show(), start);
    engine->editHistory()->redo();
    EXPECT_EQ(engine->show(), end);
}

TEST_F(EditHistory, PauseOrClickBetweenDragsStartsNewSteps)
{
    dragging = true;
    edit([](Show& show) { show.cues[0].delay = 1; });
    clock->now += 0.5;
    edit([](Show& show) { show.cues[0].delay = 2; });
    EXPECT_EQ(engine->editHistory()->count(), 2);

    clock->now += 0.1;
    dragging = false;
    rename(1, QStringLiteral("点击"));
    dragging = true;
    clock->now += 0.1;
    edit([](Show& show) { show.cues[0].delay = 3; });
    EXPECT_EQ(engine->editHistory()->count(), 4);
}

TEST_F(EditHistory, UndoingScreenRemovalRemakesItsPictures)
{
    engine->addScreen();
    ASSERT_NE(engine->program(kScreen2), nullptr);
    engine->removeScreen(kScreen2);
    EXPECT_EQ(engine->program(kScreen2), nullptr);
    engine->editHistory()->undo();
    EXPECT_NE(engine->program(kScreen2), nullptr);
    EXPECT_NE(engine->preview(kScreen2), nullptr);
}

TEST_F(EditHistory, UndoingAddedSelectedCueSelectsFirstCue)
{
    Cue added;
    edit([&](Show& show) { show.cues.append(added); });
    engine->setSelected(added.id);
    engine->editHistory()->undo();
    EXPECT_EQ(engine->selected(), engine->show().cues.first().id);
}

TEST_F(EditHistory, SavedStateFollowsTheShowNotTheHistory)
{
    rename(0, QStringLiteral("A"));
    engine->saveProject(url(QStringLiteral("show.json")));
    EXPECT_FALSE(engine->hasUnsavedChanges());
    engine->editHistory()->undo();
    EXPECT_TRUE(engine->hasUnsavedChanges());
    engine->editHistory()->redo();
    EXPECT_FALSE(engine->hasUnsavedChanges());
}

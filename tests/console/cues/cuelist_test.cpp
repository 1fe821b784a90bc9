#include "cuelist.h"
#include "cuelistmodel.h"
#include "sectionfixture.h"

#include <QListView>
#include <QTest>
#include <QToolButton>

class CueListTest : public SectionTest
{
  protected:
    void giveCues(int count)
    {
        edit([&](Show& show) {
            show.cues.clear();
            for (int i = 1; i <= count; ++i) {
                Cue cue;
                cue.name = QString::number(i);
                show.cues.append(cue);
            }
        });
        engine->editHistory()->clear();
    }
    void press(const QString& name) { button<QToolButton>(list, name)->click(); }
    QListView* rows() { return list.findChild<QListView*>("cueRows"); }
    QString number(int row) { return rows()->model()->index(row, 0).data(CueListModel::NumberRole).toString(); }
    CueListModel::Mark mark(int row)
    {
        return CueListModel::Mark(rows()->model()->index(row, 0).data(CueListModel::MarkRole).toInt());
    }
    std::optional<int> selectedRow()
    {
        const QModelIndexList selected = rows()->selectionModel()->selectedIndexes();
        return selected.isEmpty() ? std::nullopt : std::optional(selected.first().row());
    }

    CueList list{*state};
};

TEST_F(CueListTest, ButtonsEditTheListAsOneUndoStepEach)
{
    struct Case
    {
        const char* button;
        int selected;
        QList<QString> names;
        std::optional<int> selectedAfter;
    };
    const QList<Case> cases{
        {"addCue", 1, {"1", "2", "3", "4", "5", "新 Cue"}, 5},
        {"removeCue", 2, {"1", "2", "4", "5"}, 2},
        {"removeCue", 4, {"1", "2", "3", "4"}, 3},
        {"moveCueUp", 2, {"1", "3", "2", "4", "5"}, 1},
        {"moveCueDown", 2, {"1", "2", "4", "3", "5"}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " on " + std::to_string(c.selected));
        giveCues(5);
        const QList<QString> before = names();
        select(c.selected);
        press(c.button);
        EXPECT_EQ(names(), c.names);
        EXPECT_EQ(state->selectedIndex(), c.selectedAfter);
        EXPECT_EQ(selectedRow(), c.selectedAfter);
        EXPECT_EQ(number(*c.selectedAfter), QString::asprintf("%02d", *c.selectedAfter + 1));
        EXPECT_TRUE(engine->hasUnsavedChanges());
        ASSERT_EQ(engine->editHistory()->count(), 1);
        engine->editHistory()->undo();
        EXPECT_EQ(names(), before);
    }
}

TEST_F(CueListTest, ActionsWithNothingToActOnRecordNothing)
{
    struct Case
    {
        const char* button;
        std::optional<int> selected;
    };
    for (const Case& c : QList<Case>{{"moveCueUp", 0}, {"moveCueDown", 2}, {"removeCue", {}}, {"moveCueUp", {}}}) {
        SCOPED_TRACE(c.button);
        giveCues(3);
        if (c.selected)
            select(*c.selected);
        else
            engine->setSelected(std::nullopt);
        press(c.button);
        EXPECT_EQ(names(), QList<QString>({"1", "2", "3"}));
        EXPECT_EQ(engine->editHistory()->count(), 0);
    }
}

TEST_F(CueListTest, EmptyListTakesANewCueAndLosesItsOnlyOne)
{
    giveCues(1);
    select(0);
    press("removeCue");
    EXPECT_TRUE(names().isEmpty());
    EXPECT_FALSE(engine->selected());

    press("moveCueDown");
    press("addCue");
    EXPECT_EQ(names(), QList<QString>{"新 Cue"});
    EXPECT_EQ(number(0), "01");
    EXPECT_EQ(selectedRow(), 0);
    const Cue added = engine->show().cues.first();
    EXPECT_EQ(added.ending, EndBehavior::hold);
    EXPECT_EQ(added.audioBus, Bus::music);
    EXPECT_FALSE(added.main || added.timeline || added.lighting);
}

TEST_F(CueListTest, RowsFollowTheSelectionBothWays)
{
    giveCues(4);
    select(2);
    EXPECT_EQ(selectedRow(), 2);
    list.resize(300, 400);
    list.show();
    const QRect second = rows()->visualRect(rows()->model()->index(1, 0));
    QTest::mouseClick(rows()->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(state->selectedIndex(), 1);
    edit([](Show& show) { show.cues[1].name = "二"; });
    EXPECT_EQ(selectedRow(), 1);
}

TEST_F(CueListTest, MarksShowTheCueOnAirAndTheNextOneApartFromTheSelection)
{
    giveCues(10);
    edit([](Show& show) {
        const QStringList names{"暖场",        "开场",       "主持人上台", "嘉宾致辞", "颁奖环节一",
                                "表演 · 舞蹈", "颁奖环节二", "抽奖",       "合影",     "退场"};
        for (int i = 0; i < names.size(); ++i)
            show.cues[i].name = names[i];
    });
    EXPECT_EQ(mark(0), CueListModel::Mark::next);
    EXPECT_EQ(mark(1), CueListModel::Mark::none);
    engine->take(engine->show().cues.at(3));
    select(5);
    EXPECT_EQ(mark(3), CueListModel::Mark::onAir);
    EXPECT_EQ(mark(4), CueListModel::Mark::next);
    EXPECT_EQ(mark(5), CueListModel::Mark::none);
    EXPECT_EQ(mark(0), CueListModel::Mark::none);
    EXPECT_EQ(selectedRow(), 5);
    list.resize(300, 520);
    list.show();
    saveShot(list, "cue-list-ten");

    engine->take(engine->show().cues.at(9));
    EXPECT_EQ(mark(9), CueListModel::Mark::onAir);
    EXPECT_EQ(mark(3), CueListModel::Mark::none);
    EXPECT_EQ(mark(0), CueListModel::Mark::none) << "after the last cue nothing is next";
}

TEST_F(CueListTest, NumbersKeepTwoDigitsAndGrowPastThem)
{
    giveCues(101);
    EXPECT_EQ(number(0), "01");
    EXPECT_EQ(number(9), "10");
    EXPECT_EQ(number(99), "100");
    EXPECT_EQ(number(100), "101");
}

#include "pressrig.h"

#include <QMap>
#include <QRegularExpression>
#include <cstdio>

// Fixed seeds whose two ends still part, each for a fault not mended yet: the fixed groups leave them out, and
// DISABLED_SeedsStillApart presses them.
// Whatever the operator presses while an answer is on its way, the show ends where it would have ended had the
// answer been there at the press. Random sequences of presses, each drawn among what exists at its moment, are
// pressed twice on fresh engines: with the share's answers held back until after the last press, and with every
// answer in at once. A sequence that ends apart is shrunk to the fewest presses that still do, and printed as
// presses a person can repeat.
class PressSequences : public PressRig, public ::testing::WithParamInterface<int>
{
  protected:
    struct Tally
    {
        int sequences = 0;
        int excused = 0;
        QMap<QString, int> reasons;
        QStringList failures;
    };
    // Presses each seed's sequence both ways; a sequence that ends apart is shrunk (the first `shrunk` of them) and
    // printed.
    Tally pressSeeds(quint32 first, int count, int shrunk)
    {
        Tally tally;
        for (quint32 seed = first; seed < first + quint32(count); ++seed) {
            Ending atOnce;
            const QList<Press> presses = draw(seed, 6 + int(seed % 7), &atOnce);
            const Verdict verdict = judge(presses, atOnce);
            ++tally.sequences;
            tally.excused += verdict.excused;
            for (const QString& reason : verdict.reasons)
                ++tally.reasons[reason];
            if (verdict.differences.isEmpty())
                continue;
            QString text = QStringLiteral("seed %1, %2 presses:\n").arg(seed).arg(presses.size());
            if (tally.failures.size() < shrunk) {
                for (const QString& difference : verdict.differences)
                    text += QStringLiteral("    - ") + difference.left(100) + "\n";
                text += QStringLiteral("  the fewest presses that part the first of them:\n");
                const QList<Press> fewest = shrink(presses, verdict);
                text += repeatable(fewest, judge(fewest));
            } else {
                text += repeatable(presses, verdict);
            }
            tally.failures << text;
            std::printf("%s", qPrintable(text));
            std::fflush(stdout);
        }
        return tally;
    }
    void expectAlike(const char* item, const QList<Press>& presses)
    {
        const Verdict verdict = judge(presses);
        EXPECT_TRUE(verdict.differences.isEmpty()) << item << ":\n" << qPrintable(repeatable(presses, verdict));
    }
};

// Fixed seeds, in groups that run beside each other.
TEST_P(PressSequences, FixedSeedsEndAlikeHeldBackAndAtOnce)
{
    const int group = GetParam();
    const Tally tally = pressSeeds(quint32(1000 + group * 10), 10, 3);
    EXPECT_TRUE(tally.failures.isEmpty())
        << tally.failures.size() << " of " << tally.sequences << " sequences ended apart";
}
INSTANTIATE_TEST_SUITE_P(Groups, PressSequences, ::testing::Range(0, 4));

// The rig itself: a sequence pressed twice the same way ends the same, held back or not, so that a difference
// between the two ways is the engine's.
TEST_F(PressSequences, TheSameWayTwiceEndsTheSame)
{
    for (quint32 seed = 1; seed <= 4; ++seed) {
        const QList<Press> presses = draw(seed, 10);
        for (const bool held : {false, true}) {
            const Ending first = pass(presses, held);
            const Verdict verdict = compare(first, pass(presses, held));
            EXPECT_TRUE(verdict.differences.isEmpty())
                << (held ? "held back twice" : "at once twice") << ", seed " << seed << ":\n"
                << qPrintable(repeatable(presses, verdict));
        }
    }
}

// A sequence for each way the two ends were seen to part, should the seeds not draw it.
TEST_F(PressSequences, UndoAndRedoActOnTheNewestActionInTheOrderPressed)
{
    expectAlike("a relink waits, a rename, undo: the rename is undone",
                {pressOf("relink", "share"), pressOf("rename", "暖场", "改名1"), pressOf("undo")});
    expectAlike("a relink waits, redo: nothing to redo", {pressOf("relink", "share"), pressOf("redo")});
    expectAlike("a default picture on the share, undo, redo: the choice is back",
                {pressOf("defaultPicture", "share/绿.png"), pressOf("undo"), pressOf("redo")});
    expectAlike("a relink waits while a clip's length is dragged: its own undo step",
                {pressOf("select", "时间线"), pressOf("relink", "share"),
                 pressOf("dragBegin", "红.png", "0/2/屏幕 1", 20), pressOf("dragMove", "红.png", "0/2/屏幕 1", 40)});
    expectAlike("a rename, an import that adds nothing new, undo: the rename is undone",
                {pressOf("rename", "暖场", "改名1"), pressOf("import", "share/绿.png"), pressOf("undo")});
}

TEST_F(PressSequences, SaveSelectionAndLanesEndAsWithTheAnswersInAtOnce)
{
    expectAlike("take a cue whose files are on their way, select another: it stays selected",
                {pressOf("take", "开场"), pressOf("select", "退场")});
    expectAlike("take a cue whose files are on their way, select another with a message draft open: it stays open",
                {pressOf("select", "时间线"), pressOf("take", "开场"), pressOf("messageDraft", {}, {}, 2)});
    expectAlike("GO twice, the second's files on their way, then the cue on air selected again: it stays selected",
                {pressOf("GO"), pressOf("GO"), pressOf("select", "暖场")});
    expectAlike("an import of the share, then another entry selected: the selection stays",
                {pressOf("import", "share/蓝.png"), pressOf("selectAsset", "音乐.wav")});
    expectAlike("a file put on a lane, the lane deleted: neither comes back",
                {pressOf("select", "时间线"), pressOf("addOnLane", "share/蓝.png", "0/1/屏幕 1", 10),
                 pressOf("deleteLane", "0/1/屏幕 1"), pressOf("confirmLane")});
}

TEST_F(PressSequences, RunsAndGoEndAsWithTheAnswersInAtOnce)
{
    expectAlike("a run from the check sheet that waits its turn turns the monitors and opens its window",
                {pressOf("select", "开场"), pressOf("sheetRun")});
    expectAlike("a sound put on a lane of the cue GO takes next: GO plays the cue with it",
                {pressOf("addOnLane", "share/声音.wav", "2/1/", 0), pressOf("GO")});
    expectAlike("GO behind a run that waits and is refused: GO takes the next cue",
                {pressOf("select", "时间线"), pressOf("sheetRun"), pressOf("GO")});
    expectAlike("a file put on a lane, then \"开始投放\": the check looks at the cue with the file",
                {pressOf("addOnLane", "share/声音.wav", "2/1/", 10), pressOf("headerRun")});
    expectAlike("a file put on a lane, then \"继续投放\": the run covers the cue with the file",
                {pressOf("select", "间场"), pressOf("addOnLane", "share/声音.wav", "2/1/", 0), pressOf("sheetRun")});
}

// A check over more than 4,096 events gathers its files over several turns before the run's press takes its turn:
// the run starts a turn after the click, answers in or not.
TEST_F(PressSequences, ARunFromTheCheckSheetOfALargeCueTurnsTheMonitors)
{
    Cue large;
    large.name = QStringLiteral("大节目");
    QList<TimelineEvent> events;
    for (int i = 0; i < 4100; ++i)
        events << udpMessage(i * 0.01, 9, QStringLiteral("m%1").arg(i));
    large.timeline = events;
    m_firstShow.cues.append(large);
    expectAlike("a run of a large cue from the check sheet", {pressOf("select", "大节目"), pressOf("sheetRun")});
}

// Where the sheet outlives the click, a run that starts later must not reach the launch copied onto the stack.
TEST_F(PressSequences, ARunFromTheCheckSheetThatOutlivesTheClickStartsLater)
{
    expectAlike("a run from the check sheet that stays while the run waits",
                {pressOf("select", "开场"), pressOf("sheetRunSheetStays")});
}

TEST_F(PressSequences, TheStatusLineSaysWhatHoldsNow)
{
    expectAlike("a relink waits, a countdown dropped with its cue: never \"就绪\"",
                {pressOf("delay", "暖场"), pressOf("relink", "share"), pressOf("GO"), pressOf("deleteCue", "暖场")});
    expectAlike("\"恢复内置\" while a relink waits reads no picture, and the relink's outcome is seen",
                {pressOf("relink", "share"), pressOf("builtInPicture")});
    expectAlike("the same file of the share imported twice: once the answers are in, nothing is said to be read",
                {pressOf("import", "share/绿.png"), pressOf("import", "share/绿.png")});
    expectAlike("a screen's play refused while the share was silent: once it answers, the line no longer says so",
                {pressOf("stall"), pressOf("screenPlay", "屏幕 1", "退场")});
    expectAlike("save while a relink waits: the relink's outcome is told beside the save's",
                {pressOf("relink", "share"), pressOf("save")});
    expectAlike("a file put on a lane over a clip there: the refusal is told, not the library's count before it",
                {pressOf("select", "时间线"), pressOf("addOnLane", "share/片段.mp4", "0/2/屏幕 1", 0)});
}

TEST_F(PressSequences, PressesInTheEditorWhileATakeWaitsActOnTheCueTaken)
{
    expectAlike("take a cue whose files are on their way, put a file on a lane: it goes on the cue taken",
                {pressOf("take", "开场"), pressOf("addOnLane", "local/黄.png", "0/1/屏幕 1", 15)});
    expectAlike("GO twice, the second's files on their way, then delete a lane: it goes from the cue taken",
                {pressOf("GO"), pressOf("GO"), pressOf("deleteLane", "2/1/")});
    expectAlike("GO twice, the second's files on their way, then a screen paused: it freezes the cue taken",
                {pressOf("GO"), pressOf("GO"), pressOf("screenPause", "屏幕 1")});
    expectAlike("a take behind a waiting edit, then a screen paused: it freezes the cue taken",
                {pressOf("defaultPicture", "share/绿.png"), pressOf("take", "退场"), pressOf("screenPause", "屏幕 1")});
    expectAlike("a take waits, a screen paused, then returned to the programme: it follows the programme",
                {pressOf("take", "退场"), pressOf("screenPause", "屏幕 1"), pressOf("screenReturn", "屏幕 1")});
    expectAlike("a run waits behind a GO, a screen stopped: it stays stopped once the run starts",
                {pressOf("GO"), pressOf("GO"), pressOf("sheetRun"), pressOf("screenStop", "屏幕 1")});
    expectAlike("GO behind a waiting import, then pause: the cue GO puts on air is paused",
                {pressOf("import", "share/片段.mp4", "local/黄.png"), pressOf("GO"), pressOf("pause")});
    expectAlike(
        "a take waits, a screen stopped, then a cue played on it: the cue plays there",
        {pressOf("GO"), pressOf("GO"), pressOf("screenStop", "屏幕 1"), pressOf("screenPlay", "屏幕 1", "开场")});
    expectAlike("a run behind a waiting relink, then stop: nothing is on air",
                {pressOf("relink", "local"), pressOf("sheetRun"), pressOf("stop")});
    expectAlike(
        "a run behind a waiting relink, a rename undone after it: the run plays the cue as at its press",
        {pressOf("relink", "share"), pressOf("rename", "暖场", "改名45"), pressOf("sheetRun"), pressOf("undo")});
    expectAlike("a run behind a waiting relink, a rename undone and its redo dropped: the run plays the cue as at its "
                "press",
                {pressOf("relink", "share"), pressOf("rename", "暖场", "改名45"), pressOf("sheetRun"), pressOf("undo"),
                 pressOf("addOnLane", "share/绿.png", "0/1/屏幕 1", 15)});
    expectAlike("\"开始投放\" behind a waiting relink, then another cue selected: the check is of the cue selected at "
                "the press",
                {pressOf("addOnLane", "local/音乐.wav", "2/1/", 10), pressOf("relink", "share"), pressOf("headerRun"),
                 pressOf("select", "时间线")});
    expectAlike("a run behind a waiting picture, a screen paused behind it: the line says what holds once all is in",
                {pressOf("addScreen"), pressOf("deleteCue", "时间线"), pressOf("defaultPicture", "share/蓝.png"),
                 pressOf("sheetRun"), pressOf("screenPause", "屏幕 2")});
    expectAlike("take a cue whose files are on their way while edits wait, then select another: it stays selected",
                {pressOf("relink", "share"), pressOf("take", "开场"), pressOf("select", "退场")});
    expectAlike("a cue with a missing file taken twice, both refused once the answers come: the selection goes back",
                {pressOf("select", "退场"), pressOf("take", "时间线"), pressOf("take", "时间线")});
}

TEST_F(PressSequences, AFileUndoneBeforeItWasReadTellsTheLibraryAsAtItsPress)
{
    expectAlike("a file put on a lane, undone before it was read",
                {pressOf("select", "时间线"), pressOf("addOnLane", "share/绿.png", "0/1/屏幕 1", 20), pressOf("undo")});
    expectAlike("a file put on a lane, undone, and another edit made before it was read",
                {pressOf("select", "时间线"), pressOf("addOnLane", "share/绿.png", "0/2/屏幕 1", 10), pressOf("undo"),
                 pressOf("rename", "暖场", "改名42")});
    expectAlike("an import undone, and another edit made before it was read",
                {pressOf("import", "share/蓝.png"), pressOf("undo"), pressOf("rename", "暖场", "改名42")});
    expectAlike("an import undone, then a file put on a lane: the file tells the library last",
                {pressOf("import", "share/声音.wav", "local/红.png"), pressOf("undo"),
                 pressOf("addOnLane", "local/音乐.wav", "2/1/", 15)});
    expectAlike("an import that adds nothing new, a save behind it, then a cue deleted: the file holds the cue",
                {pressOf("import", "share/绿.png"), pressOf("save"), pressOf("deleteCue", "间场")});
    expectAlike("two saves behind a waiting relink, a cue deleted between them: the second writes without it",
                {pressOf("relink", "local"), pressOf("save"), pressOf("deleteCue", "间场"), pressOf("save")});
    expectAlike("a file put on a lane, another entry selected before it was read: that entry stays selected",
                {pressOf("addOnLane", "share/片段.mp4", "0/1/屏幕 1", 15), pressOf("selectAsset", "黄.png")});
    expectAlike("a screen's play waits, then a default picture on the share: the picture's outcome is told",
                {pressOf("screenPlay", "屏幕 1", "开场"), pressOf("defaultPicture", "share/蓝.png")});
    expectAlike("a default picture on the share undone, then \"恢复内置\": the choice can still be redone",
                {pressOf("defaultPicture", "share/蓝.png"), pressOf("undo"), pressOf("builtInPicture")});
}

// The longer run: LUMO_PRESS_SEEDS="first count" presses that many sequences from that seed and prints the count of
// sequences and of those that ended apart, e.g.
//   LUMO_PRESS_SEEDS="1 2000" build/tests/presses/press_tests --gtest_also_run_disabled_tests
//       --gtest_filter='*ManySeeds'
TEST_F(PressSequences, DISABLED_ManySeeds)
{
    const QStringList range = qEnvironmentVariable("LUMO_PRESS_SEEDS", QStringLiteral("1 200")).split(' ');
    const quint32 first = range.value(0).toUInt();
    const int count = range.value(1).toInt();
    std::printf("Where the two ends may differ by design:\n");
    for (const QString& allowed : allowedDifferences())
        std::printf("  - %s\n", qPrintable(allowed));
    const Tally tally = pressSeeds(first, count, 10);
    std::printf("%d sequences from seed %u: %d ended apart, %d excused by design\n", tally.sequences, first,
                int(tally.failures.size()), tally.excused);
    for (auto reason = tally.reasons.cbegin(); reason != tally.reasons.cend(); ++reason)
        std::printf("  excused %4d × %s\n", reason.value(), qPrintable(reason.key()));
    // The first lines that differ, by kind, over all failures.
    QMap<QString, int> kinds;
    static const QRegularExpression label(QStringLiteral("^    - ([^:（“]*)"));
    for (const QString& failure : tally.failures)
        for (const QString& line : failure.split('\n'))
            if (const QRegularExpressionMatch match = label.match(line); match.hasMatch())
                ++kinds[match.captured(1).trimmed()];
    for (auto kind = kinds.cbegin(); kind != kinds.cend(); ++kind)
        std::printf("  %4d × %s\n", kind.value(), qPrintable(kind.key()));
    EXPECT_TRUE(tally.failures.isEmpty());
}

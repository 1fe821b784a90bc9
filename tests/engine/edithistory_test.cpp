#include "edithistory.h"
#include "enginefixture.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A show renamed by the operator, its history recording each rename as a step.
struct RenamedShow
{
    QTemporaryDir folder;
    Show show = Show::makeDefault();
    EditHistory history{show, std::make_shared<FakeClock>(), folder.path(), [this](const Show& old) { show = old; }};

    RenamedShow() { history.track(); }
    void rename(const QString& name)
    {
        const Show before = show;
        show.cues[0].name = name;
        history.showChanged(before);
    }
    void press(bool undo) { undo ? history.undo() : history.redo(); }
    std::string end()
    {
        return QStringLiteral("%1 %2/%3")
            .arg(show.cues[0].name)
            .arg(history.undoStack()->index())
            .arg(history.undoStack()->count())
            .toStdString();
    }
};

} // namespace

// An edit that waited and changed nothing leaves the history as if it had never been pressed: the undos and redos
// pressed meanwhile act on the steps they would have acted on, whether its place lay below the newest step or was it.
TEST(EditHistory, UndoAndRedoPressedOverThePlaceOfAnEditThatChangedNothingEndAsIfItWasNeverPressed)
{
    for (const int placeAfter : {1, 2})
        for (int length = 1; length <= 4; ++length)
            for (int pattern = 0; pattern < (1 << length); ++pattern) {
                RenamedShow held;
                RenamedShow never;
                quint64 place = 0;
                for (const int renamed : {1, 2}) {
                    held.rename(QStringLiteral("改名%1").arg(renamed));
                    never.rename(QStringLiteral("改名%1").arg(renamed));
                    if (renamed == placeAfter)
                        place = held.history.holdPlace();
                }
                QString pressed;
                for (int i = 0; i < length; ++i) {
                    const bool undo = pattern & (1 << i);
                    pressed += undo ? QStringLiteral("撤销 ") : QStringLiteral("重做 ");
                    held.press(undo);
                    never.press(undo);
                }
                held.history.forget(place);
                SCOPED_TRACE(QStringLiteral("place after rename %1, %2").arg(placeAfter).arg(pressed).toStdString());
                EXPECT_EQ(held.end(), never.end());
            }
}

#pragma once

#include "awaitedfiles.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class MediaFiles;
class QTimer;

// Edits of the show that wait for the disk's answers about their files (relink, the default picture, an import, a
// file put on a lane), kept in the order they were asked, and a save pressed behind them. Each is made in its turn,
// once its answers are in, as it would have been made at its moment: on the show it was asked for, in the place
// among the undo steps it holds from its press (EditHistory::holdPlace). Undo and redo move over that place as over
// any step; an edit whose place was dropped (undone, then another edit made) is never made. Another show taking the
// place of the open one drops them all. The main thread never waits.
class WaitingEdits : public QObject
{
    Q_OBJECT
  public:
    using Id = quint64;
    struct Hooks
    {
        // The show in place (Engine::showNumber).
        std::function<quint64()> show;
        // Holds the edit's place among the undo steps; tells whether the place so named is still among them; lets
        // it go once the edit ended without changing the show.
        std::function<quint64()> holdPlace;
        std::function<bool(quint64)> placeHeld;
        std::function<void(quint64)> forget;
        // Numbers the press among the operator's presses, and has what the edit does in its turn done as that press.
        std::function<quint64()> numberPress;
        std::function<std::optional<quint64>(std::optional<quint64>)> actAs;
        // An edit dropped without landing: the words it put on the status line come off when they still stand.
        std::function<void(const QString&)> ended;
    };

    WaitingEdits(MediaFiles& files, Hooks hooks, QObject* parent = nullptr);
    ~WaitingEdits() override;

    // Begins an edit named `name` ("重新定位缺失素材"), for the show in place and after its newest edit; it goes on
    // by await() or hold(). One `toldWhenGone` still goes on once its answers are in after its place was dropped,
    // out of turn and made nowhere (see gone()), to tell what it came to as it would have told it at its press.
    Id ask(const QString& name, const QString& waitingText = {}, bool toldWhenGone = false);
    // Begins work that is no edit (a save, a take) for the show in place: it holds no place among the undo steps.
    Id askInTurn(const QString& name, const QString& waitingText = {});
    // The edit goes on with `then` in its turn, once the disk has answered about these files: at once when nothing
    // waits before it and the answers are in. Also for an edit that, going on, needs more answers.
    void await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
               std::function<void()> then);
    // As above, with `each` given every file's place in the list once the answers are in, a slice each turn (work
    // over thousands of answers), before the edit goes on in its turn.
    void await(Id id, const QList<QUrl>& urls, FileDepth depth, AwaitedFiles::Freshness freshness,
               AwaitedFiles::Each each, std::function<void()> then);
    // The edit waits for something other than the disk's answers (a look at a picture) until resume().
    void hold(Id id);
    void resume(Id id, std::function<void()> then);

    // Whether the edit has been neither made nor dropped (nor, gone, told).
    bool waits(Id id) const;
    // The edit's place was dropped while it waited: it only tells what it came to.
    bool gone(Id id) const;
    // Whether an edit so named waits; of those that hold a place, one whose place is in the show now (not undone).
    bool waitsFor(const QString& name) const;
    bool waitsInPlaceFor(const QString& name, const std::function<bool(quint64)>& inShow) const;
    bool waiting() const { return !m_edits.isEmpty(); }
    // Asked by the edit going on, as it is about to be made: whether it lands, on the show it was asked for and with
    // the edit it was asked after still in place. When not, it is made nowhere.
    bool lands(Id id) const;
    // The place among the undo steps the edit holds.
    quint64 place(Id id) const;
    // What the status line says of the newest edit waiting whose place is in the show now (not undone), of those
    // that say anything there.
    std::optional<QString> waitingInPlace(const std::function<bool(quint64)>& inShow) const;

    // Another show takes the place of the open one: every waiting edit is dropped. What to add to the status line
    // to say so; empty when none waited.
    QString dropAll();
    // The undo steps changed: edits whose place was dropped go.
    void dropGone();
    // Work so named, waiting its turn (askInTurn) and pressed before `pressedBefore` when given, is dropped.
    void dropTurns(const QStringList& names, std::optional<quint64> pressedBefore);

  signals:
    // An edit began or stopped waiting.
    void changed();

  private:
    Id add(const QString& name, const QString& waitingText, bool holdsPlace);
    struct Edit;
    Edit* find(Id id) const;
    // Waiting, or gone and still to tell.
    Edit* findAny(Id id) const;
    bool dropWhere(const std::function<bool(const Edit&)>& chosen);
    void tellGone(Id id);
    void process();
    void remove(Id id);

    MediaFiles& m_files;
    Hooks m_hooks;
    QList<std::shared_ptr<Edit>> m_edits;
    // Gone edits that tell once their answers are in, each on its own.
    QList<std::shared_ptr<Edit>> m_gone;
    Id m_nextId = 1;
    // An edit is going on: what it asks of this comes first, in its turn.
    bool m_running = false;
    // Running while an edit went on this turn of the event loop: the next goes on in the next turn.
    QTimer* m_nextTurn;
};

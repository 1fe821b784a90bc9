#pragma once

#include "filequeue.h"
#include "show.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUndoStack>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class Clock;
class DelayedTask;
class FilePulse;
class ShowEdit;

// The open show's edits and the unsaved work on disk. Every write of the show is an undo step (a drag or an edit
// group makes one of many); the project is unsaved while the show differs from the one last saved or opened; the
// rolling recovery copy is written 0.7 s after the last edit. Unsaved work about to be replaced is parked in a file
// of its own and offered back, as is a rolling copy found at start (work lost in a crash).
class EditHistory : public QObject
{
    Q_OBJECT
  public:
    using Restore = std::function<void(const Show&)>;

    // show: the open show as the engine holds it. restore: puts a show of the history back, for undo and redo.
    EditHistory(const Show& show, std::shared_ptr<Clock> clock, const QString& recoveryDirectory, Restore restore,
                QObject* parent = nullptr);
    ~EditHistory() override;

    QUndoStack* undoStack() { return &m_undo; }
    QString recoveryDirectory() const { return m_directory; }
    bool hasUnsavedChanges() const { return m_unsaved; }
    bool canRecoverProject() const { return m_canRecover; }
    // Only the main engine records edits, and never the writes that load a project.
    bool recordsEdits() const { return m_tracking && !m_loading; }

    // Starts recording for the main engine: the show now counts as saved, and work left from before is offered.
    void track();
    // The show was written; previous is the show before.
    void showChanged(const Show& previous);

    // Names the newest step in the show now (none: 0), and tells whether the step so named is still in the show:
    // neither undone nor dropped with the history.
    quint64 lastStep() const;
    bool stepInPlace(quint64 step) const;

    // An edit that waits for the disk's answers is an action in its turn: it holds its place among the steps from
    // its press, undone and redone in the order pressed, and dropped with the steps above an undo when another edit
    // is made there. Returns the place's serial (a step of its own, that changes nothing until the edit lands).
    quint64 holdPlace();
    // The edit holding this place has its answers: made on the show before its place and on every step after it, as
    // if made at its press; write gets the show with it made when its place is in the show (not undone). False when
    // its place is gone.
    bool land(quint64 place, const std::function<Show(const Show&)>& edit, const std::function<void(Show)>& write);
    // The edit holding this place ended without changing the show: its place goes, as if never pressed, and the
    // undos and redos pressed since the newest step act as they would have acted without it.
    void forget(quint64 place);
    // The operator's undo and redo.
    void undo();
    void redo();
    // The show just after this step, as it stands now (rebased by edits landed since); none once the step is gone.
    std::optional<Show> showAfter(quint64 step) const;

    // One operator action is one undo step: the show writes made while a group is open are recorded as one.
    // Groups nest; the step closes with the outermost.
    void beginGroup();
    void endGroup();
    // Keeps an edit group open for the life of a scope.
    class Group
    {
      public:
        explicit Group(EditHistory& history) : m_history(&history) { history.beginGroup(); }
        ~Group()
        {
            if (m_history)
                m_history->endGroup();
        }
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;

      private:
        QPointer<EditHistory> m_history;
    };
    // A drag in a view: begun when the mouse goes down on what it moves, ended when the button is released. Its
    // edits, each within 0.4 s of the one before, are one undo step; edits outside a drag are never merged.
    void beginDrag();
    void endDrag();

    // The writes between these load a project; afterwards it is the saved show and the history starts afresh.
    void beginLoading();
    void finishLoading();
    // The show as written to the project file; the show may have changed since, and then stays unsaved.
    void saved(const Show& written);
    // A change of the saved show that is not an edit (a measured length the show took as well).
    void amendSaved(const std::function<void(Show&)>& amend);
    // Before another project replaces unsaved work, the work is written to the offered copy aside, behind the
    // copies already queued. Earlier work found there is moved aside first, never written over, unless the copy
    // holds an earlier state of this same work (overItsOwnCopy). done gets on the main thread the error text or
    // nothing, and where earlier work went; after an error nothing has changed here. The pulse hears of the write.
    using Parked = std::function<void(const std::optional<QString>& error, const QStringList& setAside)>;
    void parkUnsavedWork(const Show& show, bool overItsOwnCopy, std::shared_ptr<FilePulse> pulse, Parked done);
    // The parked work is on offer now.
    void parked();
    QString parkedPath() const { return m_parkedPath; }
    // Reads the work on offer aside, behind the writes already queued; done gets the show, or none and the error
    // text, on the main thread. The pulse hears of the read.
    using Offered = std::function<void(const std::optional<Show>& show, const QString& error)>;
    void readOffered(std::shared_ptr<FilePulse> pulse, Offered done);
    QString offeredPath() const { return m_offeredPath; }
    // Taking the work on offer back over unsaved work (edits made while it was read): the work taken back is written
    // as the rolling copy and the unsaved work parked in its place, so that both stay on disk; done as for
    // parkUnsavedWork. Should it fail, the unsaved work's rolling copy is written again.
    void parkInPlaceOfOffered(const Show& offered, const Show& unsaved, std::shared_ptr<FilePulse> pulse,
                              FileQueue::Done done);
    // The work on offer became the open show: unsaved work again, kept in the rolling copy. unsavedWorkParked: the
    // unsaved work it replaced was parked in its place and is on offer now.
    void tookBackOffered(bool unsavedWorkParked = false);
    // Writes the rolling copy now, behind the writes already queued (also when the application quits), waiting for
    // it at most `within`; throws ProjectFileError when it failed or its folder did not answer in time.
    void writeRecovery(std::chrono::milliseconds within);
    // For a quit: writes the rolling copy now, behind the writes already queued, unless it holds the newest edits
    // already. lost gets on the main thread, once, nothing when the newest edits are in a file, or why they are in
    // none: the write failed, or it had not landed within `within` (a folder that does not answer).
    using Kept = std::function<void(const std::optional<QString>& lost)>;
    void keepNewestEdits(std::chrono::milliseconds within, Kept kept);
    // The newest edits are in no file: the show is unsaved and the last write of its rolling copy failed.
    bool newestEditsInNoFile() const { return m_unsaved && m_recoveryError.has_value(); }
    // Why that write failed.
    QString recoveryError() const { return m_recoveryError.value_or(QString()); }

  signals:
    void hasUnsavedChangesChanged();
    void canRecoverProjectChanged();
    // Whether the newest edits are in no file changed.
    void newestEditsInNoFileChanged();
    // Something for the status line: a failed background write, a recovery folder that cannot be written.
    void message(const QString& text);
    // A new step dropped the undone steps above it, places of waiting edits among them maybe.
    void undoneStepsDropped();

  private:
    void record(const Show& previous, bool drag, double now);
    bool isNewestStep(const ShowEdit* step) const;
    // The position of the step with this serial in the undo stack; -1 when gone.
    int positionOf(quint64 step) const;
    void push(ShowEdit* step);
    ShowEdit* stepAt(int position) const;
    void restore(const Show& target);
    void queueRecovery();
    void cancelRecoveryWrite();
    void flushUnwrittenRecovery();
    static FileQueue::Job recoveryWrite(const Show& show, const QString& path);
    void writeRecoveryInBackground();
    void postRecoveryWrite(FileQueue::Done landed);
    bool rollingCopyHoldsNewestEdits() const { return m_writtenEdit == m_newestEdit; }
    void removeRollingCopy();
    void adoptLeftoverRecovery();
    QString workLeftInPlaceText() const;
    // Left where it lay because the folder could not be written: the rolling copy is the offered work itself.
    bool rollingCopyIsOffered() const { return m_canRecover && m_offeredPath == m_recoveryPath; }
    void setUnsaved(bool unsaved);
    void setRecoveryError(std::optional<QString> error);
    void setCanRecover(bool can);

    const Show& m_show;
    std::shared_ptr<Clock> m_clock;
    Restore m_restore;
    QUndoStack m_undo;
    Show m_saved;
    bool m_unsaved = false;
    bool m_canRecover = false;
    bool m_tracking = false;
    bool m_loading = false;
    bool m_restoring = false;
    // A waiting edit lands: its write is no step of its own, it is made in the steps already there.
    bool m_landing = false;
    // The undo stack is being rebuilt: its undos move no show.
    bool m_rebuilding = false;
    double m_lastDragChange;
    int m_dragDepth = 0;
    // The newest step, while a drag or an edit group may still extend it.
    ShowEdit* m_dragStep = nullptr;
    int m_groupDepth = 0;
    ShowEdit* m_groupStep = nullptr;
    DelayedTask* m_recoveryTask;
    FileQueue* m_fileQueue;
    // The show whose recovery write waits for its delay, for a flush at exit() from any thread.
    std::mutex m_unwrittenLock;
    std::optional<Show> m_unwritten;
    std::optional<QString> m_recoveryError;
    // Counts the writes of the show, and names the one the rolling copy last took.
    quint64 m_newestEdit = 0;
    quint64 m_writtenEdit = 0;
    quint64 m_steps = 0;
    // The undo position when the newest step was made, and each undo (-1) and redo (+1) pressed since.
    int m_pressedFrom = 0;
    std::vector<int> m_presses;
    // Places forgotten (an edit that changed nothing), each with the step that was below it.
    QHash<quint64, quint64> m_forgottenBelow;
    // Grows with each show loaded in place of another: a background write's outcome belongs to the show it wrote.
    quint64 m_loads = 0;
    QString m_directory;
    QString m_recoveryPath;
    QString m_parkedPath;
    QString m_offeredPath;
};

#include "edithistory.h"

#include "assign.h"
#include "clock.h"
#include "delayedtask.h"
#include "filepulse.h"
#include "filequeue.h"
#include "freeaside.h"
#include "parkedaside.h"
#include "projectfile.h"
#include "recoveryatexit.h"
#include "savetemporary.h"
#include "showedit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <future>
#include <limits>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

static constexpr double kDragJoinSeconds = 0.4;
static constexpr double kNoDrag = -std::numeric_limits<double>::infinity();

// How long a flush at exit() waits for the recovery folder.
static constexpr std::chrono::seconds kExitFlush{3};

static QString folderSilentText(const QString& path)
{
    return QStringLiteral("“%1”所在的文件夹没有响应").arg(QFileInfo(path).fileName());
}

EditHistory::EditHistory(const Show& show, std::shared_ptr<Clock> clock, const QString& recoveryDirectory,
                         Restore restore, QObject* parent)
    : QObject(parent), m_show(show), m_clock(std::move(clock)), m_restore(std::move(restore)), m_saved(show),
      m_lastDragChange(kNoDrag), m_recoveryTask(new DelayedTask(700ms, this)), m_fileQueue(new FileQueue(this)),
      m_directory(recoveryDirectory), m_recoveryPath(QDir(recoveryDirectory).filePath(QStringLiteral("Recovery.json"))),
      m_parkedPath(QDir(recoveryDirectory).filePath(QStringLiteral("Parked.json"))), m_offeredPath(m_parkedPath)
{
}

EditHistory::~EditHistory()
{
    RecoveryAtExit::unwatch(this);
}

void EditHistory::track()
{
    m_tracking = true;
    m_saved = m_show;
    RecoveryAtExit::watch(this, [this] { flushUnwrittenRecovery(); });
    adoptLeftoverRecovery();
    // What writes killed with the last run left beside the copies, cleared once at start, where the leftover copy is
    // read too (later writes clear their own).
    removeStaleSaveTemporaries(m_recoveryPath);
    removeStaleSaveTemporaries(m_parkedPath);
}

void EditHistory::showChanged(const Show& previous)
{
    if (!recordsEdits() || previous == m_show)
        return;
    ++m_newestEdit;
    // A landed edit was written into its steps already, and is no move of a drag going on.
    if (!m_landing) {
        const bool drag = m_dragDepth > 0;
        const double now = m_clock->uptime();
        if (!m_restoring)
            record(previous, drag, now);
        m_lastDragChange = drag ? now : kNoDrag;
    }
    setUnsaved(m_show != m_saved);
    queueRecovery();
}

// An open edit group, or a drag going on within 0.4 s of its previous edit, moves the end of its step; anything
// else is a step of its own.
void EditHistory::record(const Show& previous, bool drag, double now)
{
    if (m_groupDepth > 0 && isNewestStep(m_groupStep)) {
        m_groupStep->extend(m_show);
        return;
    }
    if (drag && now - m_lastDragChange <= kDragJoinSeconds && isNewestStep(m_dragStep)) {
        m_dragStep->extend(m_show);
        return;
    }
    auto* step = new ShowEdit(
        previous, m_show, [this](const Show& show) { restore(show); }, ++m_steps);
    push(step);
    m_dragStep = drag ? step : nullptr;
    m_groupStep = m_groupDepth > 0 ? step : nullptr;
}

bool EditHistory::isNewestStep(const ShowEdit* step) const
{
    return step && m_undo.index() > 0 && m_undo.index() == m_undo.count() && m_undo.command(m_undo.index() - 1) == step;
}

quint64 EditHistory::lastStep() const
{
    const int index = m_undo.index();
    return index > 0 ? static_cast<const ShowEdit*>(m_undo.command(index - 1))->serial() : 0;
}

// Steps below the undo position are in the show, those above it were undone.
bool EditHistory::stepInPlace(quint64 step) const
{
    if (step == 0)
        return true;
    const int position = positionOf(step);
    return position >= 0 && position < m_undo.index();
}

int EditHistory::positionOf(quint64 step) const
{
    for (int i = m_undo.count() - 1; i >= 0; --i)
        if (stepAt(i)->serial() == step)
            return i;
    return -1;
}

ShowEdit* EditHistory::stepAt(int position) const
{
    // The stack owns its steps; this history made every one of them.
    return static_cast<ShowEdit*>(const_cast<QUndoCommand*>(m_undo.command(position)));
}

quint64 EditHistory::holdPlace()
{
    if (!recordsEdits())
        return 0;
    auto* place = new ShowEdit(
        m_show, m_show, [this](const Show& show) { restore(show); }, ++m_steps);
    push(place);
    return place->serial();
}

void EditHistory::push(ShowEdit* step)
{
    const bool drops = m_undo.index() < m_undo.count();
    m_undo.push(step);
    m_pressedFrom = m_undo.index();
    m_presses.clear();
    if (drops)
        emit undoneStepsDropped();
}

bool EditHistory::land(quint64 place, const std::function<Show(const Show&)>& edit,
                       const std::function<void(Show)>& write)
{
    if (place == 0) {
        write(edit(m_show));
        return true;
    }
    const int position = positionOf(place);
    if (position < 0)
        return false;
    stepAt(position)->rebase(edit, true);
    for (int i = position + 1; i < m_undo.count(); ++i)
        stepAt(i)->rebase(edit, false);
    if (position < m_undo.index()) {
        m_landing = true;
        write(edit(m_show));
        m_landing = false;
    }
    return true;
}

// The stack has no removal: it is built again without the place, each step undone or not as it was.
void EditHistory::forget(quint64 place)
{
    const int position = positionOf(place);
    if (position < 0 || stepAt(position)->showBefore() != stepAt(position)->showAfter())
        return;
    struct Kept
    {
        Show before;
        Show after;
        quint64 serial;
    };
    // Asked after the place (a save pressed behind the edit), it is the step below it that holds.
    m_forgottenBelow.insert(place, position > 0 ? stepAt(position - 1)->serial() : 0);
    std::vector<Kept> kept;
    for (int i = 0; i < m_undo.count(); ++i)
        if (i != position)
            kept.push_back({stepAt(i)->showBefore(), stepAt(i)->showAfter(), stepAt(i)->serial()});
    const int index = m_undo.index() - (position < m_undo.index() ? 1 : 0);
    // Replayed without the place: an undo spent on it goes to the step below, as it would have at once.
    m_pressedFrom -= position < m_pressedFrom ? 1 : 0;
    int replayed = m_pressedFrom;
    for (const int press : m_presses)
        replayed = std::clamp(replayed + press, 0, static_cast<int>(kept.size()));
    const quint64 drag = m_dragStep ? m_dragStep->serial() : 0;
    const quint64 group = m_groupStep ? m_groupStep->serial() : 0;
    m_rebuilding = true;
    m_undo.clear();
    for (Kept& step : kept)
        m_undo.push(new ShowEdit(
            std::move(step.before), std::move(step.after), [this](const Show& show) { restore(show); }, step.serial));
    m_undo.setIndex(replayed);
    m_rebuilding = false;
    const auto found = [this](quint64 serial) {
        const int at = serial ? positionOf(serial) : -1;
        return at >= 0 ? stepAt(at) : nullptr;
    };
    m_dragStep = found(drag);
    m_groupStep = found(group);
    if (replayed != index)
        restore(replayed > 0 ? stepAt(replayed - 1)->showAfter() : stepAt(0)->showBefore());
}

void EditHistory::undo()
{
    m_presses.push_back(-1);
    m_undo.undo();
}

void EditHistory::redo()
{
    m_presses.push_back(1);
    m_undo.redo();
}

std::optional<Show> EditHistory::showAfter(quint64 step) const
{
    if (step == 0)
        return m_undo.count() > 0 ? std::optional(stepAt(0)->showBefore()) : std::optional(m_show);
    const int position = positionOf(step);
    if (position < 0) {
        const auto below = m_forgottenBelow.constFind(step);
        return below != m_forgottenBelow.cend() ? showAfter(*below) : std::nullopt;
    }
    return stepAt(position)->showAfter();
}

void EditHistory::restore(const Show& target)
{
    if (m_rebuilding)
        return;
    // Undo and redo end any step still open; the undo stack may drop the steps above its new position.
    m_dragStep = nullptr;
    m_groupStep = nullptr;
    m_restoring = true;
    m_restore(target);
    m_restoring = false;
}

void EditHistory::beginGroup()
{
    ++m_groupDepth;
}

void EditHistory::endGroup()
{
    if (m_groupDepth == 0)
        return;
    if (--m_groupDepth == 0)
        m_groupStep = nullptr;
}

void EditHistory::beginDrag()
{
    ++m_dragDepth;
}

void EditHistory::endDrag()
{
    if (m_dragDepth == 0)
        return;
    if (--m_dragDepth > 0)
        return;
    m_dragStep = nullptr;
    m_lastDragChange = kNoDrag;
}

void EditHistory::beginLoading()
{
    m_loading = true;
}

void EditHistory::finishLoading()
{
    m_loading = false;
    ++m_newestEdit;
    ++m_loads;
    freeAside(std::exchange(m_saved, m_show));
    setUnsaved(false);
    setRecoveryError(std::nullopt);
    cancelRecoveryWrite();
    m_undo.clear();
    m_forgottenBelow.clear();
    m_pressedFrom = 0;
    m_presses.clear();
    m_dragStep = nullptr;
    m_groupStep = nullptr;
}

void EditHistory::saved(const Show& written)
{
    freeAside(std::exchange(m_saved, written));
    setUnsaved(m_show != m_saved);
    // Edits made while the file was written keep their rolling copy.
    if (m_unsaved)
        return;
    setRecoveryError(std::nullopt);
    cancelRecoveryWrite();
    // Work on offer lives in a file of its own, so the rolling copy can always go.
    removeRollingCopy();
}

void EditHistory::amendSaved(const std::function<void(Show&)>& amend)
{
    amend(m_saved);
}

// Unsaved work about to be replaced goes to the offered copy, where later edits of the next show cannot reach it.
// Queued behind the rolling copies already handed over, so that none of them brings the rolling copy back. Work
// already on offer there (or left where the crash left it) is older work of another show: it moves aside, and back
// should the write fail, so that the offered copy is always the newest and no work is ever written over.
void EditHistory::parkUnsavedWork(const Show& show, bool overItsOwnCopy, std::shared_ptr<FilePulse> pulse, Parked done)
{
    pulse->setStage(FilePulse::Stage::waiting);
    auto setAside = std::make_shared<QStringList>();
    m_fileQueue->post(
        [show, pulse, setAside, keepEarlier = !overItsOwnCopy, rollingOffered = rollingCopyIsOffered(),
         parked = m_parkedPath, rolling = m_recoveryPath]() -> std::optional<QString> {
            const auto settled = qScopeGuard([&pulse] { pulse->setStage(FilePulse::Stage::done); });
            std::vector<std::pair<QString, QString>> moves;
            try {
                const FilePulse::Call call(pulse.get());
                if (keepEarlier && QFileInfo(parked).isFile())
                    moves.emplace_back(parked, setParkedWorkAside(parked, parked));
                if (rollingOffered && QFileInfo(rolling).isFile())
                    moves.emplace_back(rolling, setParkedWorkAside(rolling, parked));
            } catch (const ProjectFileError& error) {
                for (const auto& [from, to] : moves)
                    QFile::rename(to, from);
                return error.text();
            }
            try {
                writeShowFile(show, parked, JsonFormat::compact, kLargestProjectFile, pulse.get());
            } catch (const ProjectFileError& error) {
                for (const auto& [from, to] : moves)
                    QFile::rename(to, from);
                return error.text();
            }
            for (const auto& move : moves)
                setAside->append(move.second);
            const FilePulse::Call call(pulse.get());
            QFile::remove(rolling);
            return std::nullopt;
        },
        [setAside, done = std::move(done)](const std::optional<QString>& error) {
            done(error, error ? QStringList() : *setAside);
        });
}

void EditHistory::parked()
{
    m_offeredPath = m_parkedPath;
    setCanRecover(true);
    cancelRecoveryWrite();
    // A rolling copy handed over while the work was parked holds nothing more than the parked copy.
    removeRollingCopy();
}

void EditHistory::readOffered(std::shared_ptr<FilePulse> pulse, Offered done)
{
    pulse->setStage(FilePulse::Stage::waiting);
    auto read = std::make_shared<std::optional<Show>>();
    m_fileQueue->post(
        [read, pulse, path = m_offeredPath]() -> std::optional<QString> {
            try {
                *read = readShowFile(path, kLargestProjectFile, pulse.get());
            } catch (const ProjectFileError& error) {
                return error.text();
            }
            return std::nullopt;
        },
        [read, done = std::move(done)](const std::optional<QString>& error) {
            done(*read, error.value_or(QString()));
        });
}

void EditHistory::parkInPlaceOfOffered(const Show& offered, const Show& unsaved, std::shared_ptr<FilePulse> pulse,
                                       FileQueue::Done done)
{
    pulse->setStage(FilePulse::Stage::waiting);
    // A rolling copy of the unsaved work written after this would take the place of the work taken back.
    cancelRecoveryWrite();
    m_fileQueue->post(
        [offered, unsaved, pulse, parked = m_parkedPath, rolling = m_recoveryPath]() -> std::optional<QString> {
            const auto settled = qScopeGuard([&pulse] { pulse->setStage(FilePulse::Stage::done); });
            try {
                writeShowFile(offered, rolling, JsonFormat::compact, kLargestProjectFile, pulse.get());
                writeShowFile(unsaved, parked, JsonFormat::compact, kLargestProjectFile, pulse.get());
            } catch (const ProjectFileError& error) {
                return error.text();
            }
            return std::nullopt;
        },
        [history = QPointer(this), done = std::move(done)](const std::optional<QString>& error) {
            if (error && history)
                history->queueRecovery();
            done(error);
        });
}

void EditHistory::tookBackOffered(bool unsavedWorkParked)
{
    // The offered copy becomes the rolling copy, so the work stays on disk until it is rewritten. Should the rename
    // fail, the offered copy stays where it is rather than leave the work in memory only.
    if (unsavedWorkParked)
        m_offeredPath = m_parkedPath;
    else if (m_offeredPath != m_recoveryPath)
        m_fileQueue->post([offered = QFile::encodeName(m_offeredPath), rolling = QFile::encodeName(m_recoveryPath)] {
            // Replaces the rolling copy in one step: there is always one whole copy or the other.
            std::rename(offered.constData(), rolling.constData());
            return std::nullopt;
        });
    setCanRecover(unsavedWorkParked);
    m_saved = Show::makeDefault();
    setUnsaved(true);
    queueRecovery();
}

void EditHistory::writeRecovery(std::chrono::milliseconds within)
{
    if (!m_tracking || !m_unsaved || rollingCopyIsOffered() || rollingCopyHoldsNewestEdits())
        return;
    cancelRecoveryWrite();
    const quint64 edit = m_newestEdit;
    auto outcome = std::make_shared<std::promise<std::optional<QString>>>();
    std::future<std::optional<QString>> written = outcome->get_future();
    m_fileQueue->post([write = recoveryWrite(m_show, m_recoveryPath), outcome] {
        const std::optional<QString> error = write();
        outcome->set_value(error);
        return error;
    });
    if (written.wait_for(within) != std::future_status::ready)
        throw ProjectFileError(folderSilentText(m_recoveryPath));
    if (const std::optional<QString> error = written.get())
        throw ProjectFileError(*error);
    m_writtenEdit = std::max(m_writtenEdit, edit);
}

// A write still on its way when the time is up counts as failed: the quit cannot wait for a folder that stopped
// answering, and the operator is asked before the edits go.
void EditHistory::keepNewestEdits(std::chrono::milliseconds within, Kept kept)
{
    if (!m_tracking || !m_unsaved || rollingCopyHoldsNewestEdits()) {
        kept(std::nullopt);
        return;
    }
    if (rollingCopyIsOffered()) {
        kept(workLeftInPlaceText());
        return;
    }
    cancelRecoveryWrite();
    auto once = std::make_shared<Kept>(std::move(kept));
    const auto answer = [once](const std::optional<QString>& lost) {
        if (*once)
            std::exchange(*once, nullptr)(lost);
    };
    QTimer::singleShot(within, this, [answer, path = m_recoveryPath] { answer(folderSilentText(path)); });
    postRecoveryWrite(answer);
}

// A rolling copy found at start is work lost in a crash: it is put on offer. Work parked before and never taken back
// stays beside it: the newer of the two is offered and the other moved aside (one that holds the same bytes is the
// same work, and goes). Where the folder cannot be written, the rolling copy is offered where it lies.
void EditHistory::adoptLeftoverRecovery()
{
    m_offeredPath = m_parkedPath;
    QStringList setAside;
    if (QFileInfo::exists(m_recoveryPath)) {
        const QFileInfo parked(m_parkedPath);
        bool moved = true;
        if (parked.isFile()) {
            if (sameFileContents(m_parkedPath, m_recoveryPath)) {
                QFile::remove(m_recoveryPath);
            } else {
                const bool parkedNewer = parked.lastModified() > QFileInfo(m_recoveryPath).lastModified();
                try {
                    setAside.append(setParkedWorkAside(parkedNewer ? m_recoveryPath : m_parkedPath, m_parkedPath));
                } catch (const ProjectFileError&) {
                    moved = false;
                }
            }
        }
        if (!moved || (QFileInfo::exists(m_recoveryPath) && !QFile::rename(m_recoveryPath, m_parkedPath))) {
            m_offeredPath = m_recoveryPath;
            emit message(workLeftInPlaceText());
        }
    }
    setCanRecover(QFileInfo::exists(m_offeredPath));
    if (!setAside.isEmpty())
        emit message(setAsideText(setAside));
}

// Only a folder that cannot be written is called so; in a writable one, something that cannot be removed holds the
// parked copy's place. Either way the offered work blocks the rolling copy until it is taken back.
QString EditHistory::workLeftInPlaceText() const
{
    if (!QFileInfo(m_directory).isWritable())
        return QStringLiteral("恢复文件夹无法写入 · ") + QDir::toNativeSeparators(m_directory);
    return QStringLiteral("恢复副本无法移到 ") + QDir::toNativeSeparators(m_parkedPath) +
           QStringLiteral(" · 恢复之前新的修改不会自动备份");
}

void EditHistory::queueRecovery()
{
    cancelRecoveryWrite();
    if (!m_tracking)
        return;
    if (m_unsaved) {
        m_recoveryTask->schedule([history = QPointer(this)] {
            if (history)
                history->writeRecoveryInBackground();
        });
        if (!rollingCopyIsOffered()) {
            std::lock_guard guard(m_unwrittenLock);
            m_unwritten = m_show;
        }
        return;
    }
    removeRollingCopy();
}

void EditHistory::cancelRecoveryWrite()
{
    m_recoveryTask->cancel();
    std::lock_guard guard(m_unwrittenLock);
    m_unwritten.reset();
}

// Runs on whichever thread called exit(). The show still waiting for its delay is queued behind the writes already
// handed over, so it is the one that stays on disk.
// A folder that does not answer in time keeps the copy; the process ends anyway, and says what is lost.
void EditHistory::flushUnwrittenRecovery()
{
    {
        std::lock_guard guard(m_unwrittenLock);
        if (m_unwritten)
            m_fileQueue->post(recoveryWrite(*m_unwritten, m_recoveryPath));
        m_unwritten.reset();
    }
    if (!m_fileQueue->waitForIdle(kExitFlush))
        std::fputs(QStringLiteral("Lumoria：%1，最后的修改没有写入恢复副本，已丢失。\n")
                       .arg(folderSilentText(m_recoveryPath))
                       .toUtf8()
                       .constData(),
                   stderr);
}

FileQueue::Job EditHistory::recoveryWrite(const Show& show, const QString& path)
{
    return [show, path]() -> std::optional<QString> {
        try {
            writeShowFile(show, path, JsonFormat::compact);
            return std::nullopt;
        } catch (const ProjectFileError& error) {
            return error.text();
        }
    };
}

// Queued behind any write still in progress, so that the write cannot bring the file back.
void EditHistory::removeRollingCopy()
{
    if (rollingCopyIsOffered())
        return;
    m_fileQueue->post([path = m_recoveryPath] {
        QFile::remove(path);
        return std::nullopt;
    });
}

// The show is copied (cheaply: its lists are shared) and encoded and written on the file queue's thread.
void EditHistory::writeRecoveryInBackground()
{
    // Handed over under the lock, so that a flush at exit either finds the show still unwritten or this write queued.
    std::lock_guard guard(m_unwrittenLock);
    m_unwritten.reset();
    if (!m_tracking || !m_unsaved || rollingCopyIsOffered())
        return;
    postRecoveryWrite(nullptr);
}

// What lands is noted, so that a quit knows whether the rolling copy holds the newest edits.
void EditHistory::postRecoveryWrite(FileQueue::Done landed)
{
    m_fileQueue->post(recoveryWrite(m_show, m_recoveryPath),
                      [history = QPointer(this), edit = m_newestEdit, loads = m_loads,
                       landed = std::move(landed)](const std::optional<QString>& error) {
                          // Written for a show another has replaced since: its failure is not this show's.
                          if (history && history->m_loads == loads) {
                              if (!error)
                                  history->m_writtenEdit = std::max(history->m_writtenEdit, edit);
                              history->setRecoveryError(error);
                              if (error)
                                  emit history->message(QStringLiteral("自动恢复保存失败 · ") + *error);
                          }
                          if (landed)
                              landed(error);
                      });
}

void EditHistory::setUnsaved(bool unsaved)
{
    const bool before = newestEditsInNoFile();
    if (assign(m_unsaved, unsaved))
        emit hasUnsavedChangesChanged();
    if (newestEditsInNoFile() != before)
        emit newestEditsInNoFileChanged();
}

void EditHistory::setRecoveryError(std::optional<QString> error)
{
    const bool before = newestEditsInNoFile();
    m_recoveryError = std::move(error);
    if (newestEditsInNoFile() != before)
        emit newestEditsInNoFileChanged();
}

void EditHistory::setCanRecover(bool can)
{
    if (assign(m_canRecover, can))
        emit canRecoverProjectChanged();
}

#include "projectfilework.h"

#include "asidethreads.h"
#include "belowshowclock.h"
#include "edithistory.h"
#include "filepulse.h"
#include "parkedaside.h"
#include "projectfile.h"
#include "savetemporary.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>

static QString withAlsoSaid(const QString& text, const QString& alsoSaid)
{
    return alsoSaid.isEmpty() ? text : text + QStringLiteral(" · ") + alsoSaid;
}

using namespace std::chrono_literals;

// The job first asks the least there is of the file's folder, so that a slow share's pace is known after one request
// rather than after the several that opening a file takes.
static void lookAtFolderOf(const QString& path, FilePulse& pulse)
{
    const FilePulse::Call call(&pulse);
    struct stat info = {};
    ::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &info);
}

// The thread of a job outlives the work when a folder keeps it: it hands its outcome over only while the work is
// there to take it.
struct ProjectFileWork::Link
{
    std::mutex lock;
    ProjectFileWork* work = nullptr;
};

namespace {
QString verb(ProjectFileWork::Kind kind)
{
    switch (kind) {
    case ProjectFileWork::Kind::open:
        return QStringLiteral("打开");
    case ProjectFileWork::Kind::save:
        return QStringLiteral("保存");
    case ProjectFileWork::Kind::recover:
        return QStringLiteral("恢复");
    }
    return {};
}

QString givenUpText(ProjectFileWork::Kind kind, const QString& name)
{
    switch (kind) {
    case ProjectFileWork::Kind::open:
        return QStringLiteral("已取消打开 · %1").arg(name);
    case ProjectFileWork::Kind::save:
        return QStringLiteral("已取消保存 · %1 · 原文件未改动").arg(name);
    case ProjectFileWork::Kind::recover:
        return QStringLiteral("已取消恢复 · %1").arg(name);
    }
    return {};
}

QString failureText(ProjectFileWork::Kind kind)
{
    switch (kind) {
    case ProjectFileWork::Kind::open:
        return QStringLiteral("无法打开工程 · ");
    case ProjectFileWork::Kind::save:
        return QStringLiteral("保存失败 · ");
    case ProjectFileWork::Kind::recover:
        return QStringLiteral("恢复失败 · ");
    }
    return {};
}
} // namespace

ProjectFileWork::ProjectFileWork(EditHistory& history, Hooks hooks, QObject* parent)
    : QObject(parent), m_history(history), m_hooks(std::move(hooks)), m_link(std::make_shared<Link>()),
      m_pulse(std::make_shared<FilePulse>())
{
    m_link->work = this;
    m_watch.setInterval(100ms);
    connect(&m_watch, &QTimer::timeout, this, &ProjectFileWork::watch);
}

ProjectFileWork::~ProjectFileWork()
{
    std::lock_guard guard(m_link->lock);
    m_link->work = nullptr;
}

std::optional<double> ProjectFileWork::progress() const
{
    return busy() ? m_pulse->progress() : std::nullopt;
}

// A second request while one is on the way is refused, and says why: an open that landed later, in the middle of
// whatever the operator does by then, would replace the show behind their back.
bool ProjectFileWork::refusedWhileBusy(Kind wanted)
{
    if (!m_kind)
        return false;
    m_hooks.status(QStringLiteral("“%1”正在%2，这次%3未执行").arg(fileName(), verb(*m_kind), verb(wanted)));
    return true;
}

bool ProjectFileWork::refusedWhileShowOnItsWay(const QString& wanted)
{
    if (m_kind != Kind::open && m_kind != Kind::recover)
        return false;
    m_hooks.status(QStringLiteral("“%1”正在%2，这次%3未执行").arg(fileName(), verb(*m_kind), wanted));
    return true;
}

void ProjectFileWork::giveUp()
{
    if (!m_kind)
        return;
    if (!m_pulse->giveUp()) {
        m_hooks.status(QStringLiteral("“%1”已开始替换原文件，无法取消").arg(m_waitingOn));
        return;
    }
    const Kind kind = *m_kind;
    const QString name = fileName();
    ++m_ticket;
    ++m_givenUpOnTheWay;
    end();
    m_hooks.status(givenUpText(kind, name));
}

bool ProjectFileWork::canGiveUp() const
{
    return busy() && !m_pulse->replacing();
}

// Exactly one job is on its way while the work is busy; the outcome of one given up only counts it out.
bool ProjectFileWork::lands(Ticket ticket)
{
    if (ticket == m_ticket)
        return true;
    --m_givenUpOnTheWay;
    emit changed();
    return false;
}

void ProjectFileWork::open(const QUrl& url)
{
    if (refusedWhileBusy(Kind::open))
        return;
    if (!url.isLocalFile()) {
        m_hooks.status(failureText(Kind::open) + QStringLiteral("“%1”不是本地文件").arg(url.toDisplayString()));
        return;
    }
    begin(Kind::open, url);
    // A save of this file killed on the way, in this or an earlier run, may have left its new copy beside it. Listing
    // the folder for it waits on the folder as the read does.
    runAside(
        [path = url.toLocalFile()](FilePulse& pulse) -> std::optional<Show> {
            lookAtFolderOf(path, pulse);
            Show read = readShowFile(path, kLargestProjectFile, &pulse);
            pulse.setStage(FilePulse::Stage::waiting);
            removeStaleSaveTemporaries(path, &pulse);
            return read;
        },
        [this, ticket = m_ticket](const Outcome& outcome) {
            if (!lands(ticket))
                return;
            if (outcome.show)
                parkThenReplace(*outcome.show);
            else
                fail(outcome.error.value_or(QString()));
        });
}

void ProjectFileWork::save(const QUrl& url, const std::optional<Show>& show, const QString& alsoSaid)
{
    if (refusedWhileBusy(Kind::save))
        return;
    if (!url.isLocalFile()) {
        m_hooks.status(withAlsoSaid(
            failureText(Kind::save) + QStringLiteral("“%1”不是本地文件").arg(url.toDisplayString()), alsoSaid));
        return;
    }
    begin(Kind::save, url, alsoSaid);
    const Show written = show ? *show : m_hooks.show();
    runAside(
        [written, path = url.toLocalFile()](FilePulse& pulse) -> std::optional<Show> {
            lookAtFolderOf(path, pulse);
            writeShowFile(written, path, JsonFormat::pretty, kLargestProjectFile, &pulse);
            return std::nullopt;
        },
        [this, ticket = m_ticket, written](const Outcome& outcome) {
            if (!lands(ticket))
                return;
            if (outcome.error) {
                fail(*outcome.error);
                return;
            }
            const QUrl url = m_url;
            const QString alsoSaid = m_alsoSaid;
            end();
            m_hooks.saved(written, url, alsoSaid);
        });
}

// Read on the recovery copies' own queue, so that a copy still being written is read whole.
void ProjectFileWork::recover()
{
    if (refusedWhileBusy(Kind::recover))
        return;
    begin(Kind::recover, QUrl::fromLocalFile(m_history.offeredPath()));
    m_history.readOffered(m_pulse, [this, ticket = m_ticket](const std::optional<Show>& show, const QString& error) {
        if (!lands(ticket))
            return;
        if (!show) {
            fail(error);
            return;
        }
        takeBack(*show);
    });
}

// Unsaved work that the work taken back replaces (edits made while it was read) is parked where that work was, and
// offered back in its turn; edits made while it was written are parked again.
void ProjectFileWork::takeBack(const Show& offered)
{
    if (!m_history.hasUnsavedChanges()) {
        end();
        m_hooks.recovered(offered, false);
        return;
    }
    const Show unsaved = m_hooks.show();
    m_waitingOn = QFileInfo(m_history.parkedPath()).fileName();
    auto written = [this, ticket = m_ticket, offered, unsaved](const std::optional<QString>& error) {
        if (!lands(ticket))
            return;
        if (error) {
            fail(*error);
            return;
        }
        if (m_hooks.show() != unsaved && m_history.hasUnsavedChanges()) {
            takeBack(offered);
            return;
        }
        end();
        m_hooks.recovered(offered, true);
    };
    m_history.parkInPlaceOfOffered(offered, unsaved, m_pulse, std::move(written));
}

void ProjectFileWork::begin(Kind kind, const QUrl& url, const QString& alsoSaid)
{
    m_kind = kind;
    m_url = url;
    m_alsoSaid = alsoSaid;
    m_waitingOn = url.fileName();
    m_silent = false;
    m_shownReplacing = false;
    m_shownProgress.reset();
    m_setAside.clear();
    // A job given up may still tell its own pulse of its progress.
    m_pulse = std::make_shared<FilePulse>();
    ++m_ticket;
    m_hooks.status(workingText());
    m_watch.start();
    emit changed();
}

void ProjectFileWork::runAside(Job job, std::function<void(const Outcome&)> done)
{
    // Given up once the program ends, as the quit has waited for a save its own time: the end does not wait for it,
    // and tears nothing down under it while a folder that stopped answering holds it.
    auto counted = std::make_shared<AsideThreads::Unwaited>();
    auto run = [job = std::move(job), done = std::move(done), link = m_link, pulse = m_pulse, counted]() mutable {
        runBelowShowClock();
        Outcome outcome;
        try {
            outcome.show = job(*pulse);
        } catch (const ProjectFileError& error) {
            outcome.error = error.text();
        }
        job = nullptr;
        pulse->setStage(FilePulse::Stage::done);
        std::lock_guard guard(link->lock);
        if (link->work)
            QMetaObject::invokeMethod(
                link->work, [done = std::move(done), outcome = std::move(outcome)] { done(outcome); },
                Qt::QueuedConnection);
    };
    try {
        std::thread(std::move(run)).detach();
    } catch (const std::system_error& error) {
        fail(QString::fromLocal8Bit(error.what()));
    }
}

// Unsaved work is parked before the read show takes its place; edits made while it was written are parked again,
// over the copy just written. Earlier work that the parking moved aside is named on the status line.
void ProjectFileWork::parkThenReplace(const Show& read, bool overItsOwnCopy)
{
    if (!m_history.hasUnsavedChanges()) {
        replaceWith(read);
        return;
    }
    const Show parked = m_hooks.show();
    m_waitingOn = QFileInfo(m_history.parkedPath()).fileName();
    auto written = [this, ticket = m_ticket, read, parked](const std::optional<QString>& error,
                                                           const QStringList& setAside) {
        if (!lands(ticket))
            return;
        m_waitingOn = m_url.fileName();
        if (error) {
            fail(*error);
            return;
        }
        m_setAside += setAside;
        if (m_hooks.show() != parked && m_history.hasUnsavedChanges()) {
            parkThenReplace(read, true);
            return;
        }
        m_history.parked();
        replaceWith(read);
    };
    m_history.parkUnsavedWork(parked, overItsOwnCopy, m_pulse, std::move(written));
}

void ProjectFileWork::replaceWith(const Show& read)
{
    const QUrl url = m_url;
    const QStringList setAside = m_setAside;
    end();
    const QString said = m_hooks.replace(read, url);
    if (!setAside.isEmpty())
        m_hooks.status(said + QStringLiteral(" · ") + setAsideText(setAside));
    emit opened();
}

// An open that failed after earlier parked work had moved aside still says where that work is.
void ProjectFileWork::fail(const QString& error)
{
    const Kind kind = *m_kind;
    end();
    QString text = failureText(kind) + error;
    if (!m_setAside.isEmpty())
        text += QStringLiteral(" · ") + setAsideText(m_setAside);
    m_hooks.status(withAlsoSaid(text, m_alsoSaid));
}

void ProjectFileWork::end()
{
    m_watch.stop();
    m_kind.reset();
    m_silent = false;
    m_shownProgress.reset();
    emit changed();
}

void ProjectFileWork::watch()
{
    if (!m_kind)
        return;
    const bool silent = m_pulse->silence() > m_pulse->silentAfter();
    const std::optional<double> progress = m_pulse->progress();
    const bool moved = progress.has_value() != m_shownProgress.has_value() ||
                       (progress && std::abs(*progress - *m_shownProgress) >= 0.005);
    const bool turned = silent != m_silent;
    const bool replacing = m_pulse->replacing();
    const bool committed = replacing != m_shownReplacing;
    m_silent = silent;
    m_shownReplacing = replacing;
    if (turned)
        m_hooks.status(workingText());
    if (moved)
        m_shownProgress = progress;
    if (moved || turned || committed)
        emit changed();
}

QString ProjectFileWork::workingText() const
{
    const QString working = QStringLiteral("正在%1… · ").arg(verb(*m_kind));
    if (m_silent)
        return withAlsoSaid(working + QStringLiteral("“%1”所在的文件夹没有响应，仍在等待").arg(m_waitingOn),
                            m_alsoSaid);
    return withAlsoSaid(working + fileName(), m_alsoSaid);
}

#pragma once

#include "callpace.h"
#include "show.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class EditHistory;
class FilePulse;

// Opening and saving project files, aside from the main thread and one at a time. A long read, decode or write is
// work in progress and is never cut short by a clock; only a folder that gives no sign of life for a while is said to
// be silent, on the status line, and the work goes on waiting for it. The outcome is shown when it comes; the
// operator may give the work up before then. A show that lands replaces the show as it stands by then: unsaved work,
// edits made while the file was read included, is parked first and offered back.
class ProjectFileWork : public QObject
{
    Q_OBJECT
  public:
    enum class Kind { open, save, recover };

    // How long a folder whose calls end at once may give no answer before the status line says that the work waits
    // on it; a slower folder is given time by the pace of the job's calls on it (`FilePulse::silentAfter`).
    static constexpr std::chrono::milliseconds kFolderSilence = CallPace::kQuickSilence;

    struct Hooks
    {
        // The open show now.
        std::function<const Show&()> show;
        // A read show takes the open show's place, as the project at the url; returns what the status line says then.
        std::function<QString(const Show&, const QUrl&)> replace;
        // The show as written is the saved show now, its file the project's; with what the save was asked to go on
        // telling (see save()).
        std::function<void(const Show&, const QUrl&, const QString& alsoSaid)> saved;
        // The work on offer, read, takes the open show's place as unsaved work; unsavedWorkParked tells that the
        // unsaved work it replaced was parked in its place.
        std::function<void(const Show&, bool unsavedWorkParked)> recovered;
        // The status line.
        std::function<void(const QString&)> status;
    };

    ProjectFileWork(EditHistory& history, Hooks hooks, QObject* parent = nullptr);
    ~ProjectFileWork() override;

    // Reads the file aside; when it has decoded, unsaved work is parked first and the show replaced.
    void open(const QUrl& url);
    // Writes the show as it is now, or the one given; when it has landed, that show is the saved one. `alsoSaid`, an
    // outcome that came just before the save began, stays on the status line after the save's own words.
    void save(const QUrl& url, const std::optional<Show>& show = std::nullopt, const QString& alsoSaid = {});
    // Reads the unsaved work on offer; when it has decoded, it takes the show's place.
    void recover();
    // Gives up the work on its way: the show, its saved mark and the files stay as they were, and the outcome of a
    // job still held by its folder lands nowhere when it comes. Refused, saying why, once the job has begun to put
    // a file in place of another, which cannot be taken back.
    void giveUp();
    bool canGiveUp() const;
    // A show on its way stops playback when it lands, so a run started meanwhile would be stopped behind the
    // operator's back: such a request is refused, and the status line says why.
    bool refusedWhileShowOnItsWay(const QString& wanted);
    // Jobs given up whose folder has not let them end yet.
    int givenUpOnTheWay() const { return m_givenUpOnTheWay; }

    bool busy() const { return m_kind.has_value(); }
    std::optional<Kind> kind() const { return m_kind; }
    // The name of the file on the way.
    QString fileName() const { return m_url.fileName(); }
    // The share done; none while that cannot be told (decoding, encoding, waiting).
    std::optional<double> progress() const;
    // Whether the work waits on a folder that has not answered for a while.
    bool folderSilent() const { return m_silent; }

  signals:
    // Busy, progress or silence changed.
    void changed();
    // A project file became the open show.
    void opened();

  private:
    struct Link;
    struct Outcome
    {
        std::optional<Show> show;
        std::optional<QString> error;
    };
    using Job = std::function<std::optional<Show>(FilePulse&)>;
    // Which work an outcome was asked for: a job given up keeps a ticket that is no longer current.
    using Ticket = quint64;

    bool refusedWhileBusy(Kind wanted);
    void begin(Kind kind, const QUrl& url, const QString& alsoSaid = {});
    bool lands(Ticket ticket);
    void runAside(Job job, std::function<void(const Outcome&)> done);
    void parkThenReplace(const Show& read, bool overItsOwnCopy = false);
    void replaceWith(const Show& read);
    void takeBack(const Show& offered);
    void fail(const QString& error);
    void end();
    void watch();
    QString workingText() const;

    EditHistory& m_history;
    Hooks m_hooks;
    std::shared_ptr<Link> m_link;
    std::shared_ptr<FilePulse> m_pulse;
    QTimer m_watch;
    std::optional<Kind> m_kind;
    QUrl m_url;
    // The file whose folder the work waits on now: the project file, or the copy unsaved work is parked in.
    QString m_waitingOn;
    QString m_alsoSaid;
    bool m_silent = false;
    bool m_shownReplacing = false;
    // Where the open moved earlier parked work, to say so when the show lands.
    QStringList m_setAside;
    std::optional<double> m_shownProgress;
    Ticket m_ticket = 0;
    int m_givenUpOnTheWay = 0;
};

#pragma once

#include "show.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class EditHistory;
class FilePulse;

// Opening and saving project files, aside from the main thread and one at a time. A long read, decode or write is
// work in progress and is never cut short; only a folder that gives no sign of life for a while is said to be
// silent, on the status line, and the work goes on waiting for it. The outcome is shown when it comes.
class ProjectFileWork : public QObject
{
    Q_OBJECT
  public:
    enum class Kind { open, save, recover };

    // How long a folder may give no answer before the status line says that the work waits on it.
    static constexpr std::chrono::milliseconds kFolderSilence{1000};

    struct Hooks
    {
        // The open show now.
        std::function<const Show&()> show;
        // A read show takes the open show's place, as the project at the url.
        std::function<void(const Show&, const QUrl&)> replace;
        // The show as written is the saved show now, its file the project's.
        std::function<void(const Show&, const QUrl&)> saved;
        // The work on offer, read, takes the open show's place as unsaved work.
        std::function<void(const Show&)> recovered;
        // The status line.
        std::function<void(const QString&)> status;
    };

    ProjectFileWork(EditHistory& history, Hooks hooks, QObject* parent = nullptr);
    ~ProjectFileWork() override;

    // Reads the file aside; when it has decoded, unsaved work is parked first and the show replaced.
    void open(const QUrl& url);
    // Writes the show as it is now; when it has landed, that show is the saved one.
    void save(const QUrl& url);
    // Reads the unsaved work on offer; when it has decoded, it takes the show's place.
    void recover();

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

    bool refusedWhileBusy(Kind wanted);
    void begin(Kind kind, const QUrl& url);
    void runAside(Job job, std::function<void(const Outcome&)> done);
    void parkThenReplace(const Show& read);
    void replaceWith(const Show& read);
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
    bool m_silent = false;
    std::optional<double> m_shownProgress;
};

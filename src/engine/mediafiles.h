#pragma once

#include "filequestions.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <memory>
#include <optional>

// Where a file's answer stands: in, on the way from a folder that is answering (however slowly), or held by a
// folder that has given no answer at all for a while (a stalled share).
enum class FileState { answered, waiting, stalled };

// What the main thread knows of media files: their existence, kind, size and stamps, as FileQuestions answered it on
// other threads. The main thread never asks the disk and never waits for an answer: it asks ahead, reads what has
// come in, and hears of every change through answered(). A folder counts as stalled only when it has questions on the
// way and none of its calls has ended for several times as long as its calls take (`CallPace`; kStallAfter for a
// folder that answers at once): a question costs several calls, and every one the folder answers, however late,
// shows it is working. It answers again as soon as one of them ends. Main thread.
class MediaFiles : public QObject
{
    Q_OBJECT
  public:
    // For a folder that answers at once: long enough for a busy disk to give one answer, short enough for an operator
    // to be told soon. A slower folder is given time by its pace.
    static constexpr std::chrono::milliseconds kStallAfter = CallPace::kQuickSilence;
    // An answer is asked again no sooner than this after it came, nor sooner than twice as long as its look took.
    static constexpr std::chrono::milliseconds kAnswerAges{2000};

    MediaFiles(std::shared_ptr<FileQuestions> questions, QObject* parent = nullptr);
    ~MediaFiles() override;

    // The newest answer at least as deep as asked, whether or not the file's folder answers now: what a folder said
    // before it stalled still stands. A file never asked that deep is asked now; nothing is waited for.
    std::optional<FileAnswer> known(const QUrl& url, FileDepth depth);
    // Where the file's answer stands, asking it as known() does.
    FileState state(const QUrl& url, FileDepth depth);
    // Makes room at once for at least this many files: a large show's files then come in without the table growing,
    // and every file in it being hashed again, in the middle of a turn meant to be short.
    void expect(qsizetype files) { m_entries.reserve(files); }
    // Both in one look-up: where the answer stands, and the answer itself while it is answered.
    struct Look
    {
        FileState state;
        std::optional<FileAnswer> answer;
    };
    Look look(const QUrl& url, FileDepth depth);
    // Asks the files again, so that a change on disk shows; a file with a question on the way that deep is not asked
    // twice, unless the answer must tell what the disk says from now on.
    enum class Again { unlessOnTheWay, fromNow };
    using Urgency = FileQuestions::Urgency;
    void refresh(const QList<QUrl>& urls, FileDepth depth, Again again = Again::unlessOnTheWay,
                 Urgency urgency = Urgency::background);
    // Asks the file again in the background once its answer has aged: it came more than kAnswerAges ago, and longer
    // ago than twice what the last look at its stamp took, waiting included, and no question about it is on the way.
    // A folder is so asked no faster than it answers, and its questions come to rest between rounds.
    void refreshAged(const QUrl& url, FileDepth depth);
    // As refresh() unlessOnTheWay in the background, a slice of the files each turn of the event loop: for a large
    // library's files, which nobody waits for.
    void refreshInTurns(const QList<QUrl>& urls, FileDepth depth);
    // What is needed now: files without an answer that deep are asked ahead of everything asked in the background,
    // and those already asked are moved ahead.
    void hurry(const QList<QUrl>& urls, FileDepth depth);
    // A question about the file is on the way, from a folder that has not stalled.
    bool onTheWay(const QUrl& url) const;
    // Questions on the way, stalled or not: nothing to wait for when zero.
    int questionsOnTheWay() const { return int(m_asked.size()); }
    // How many times a folder that had stalled answered again: a file that lay there may be waiting again since.
    quint64 revivals() const { return m_revivals; }

  signals:
    // A file's answer came and differs from the one known before, or the file's folder stalled or answered again.
    void answered(const QUrl& url);
    // The files of one round of answered(), each once, told before them: work over many files is done once a round.
    void answeredFiles(const QList<QUrl>& files);
    // Answers came in, whether they changed anything or not.
    void questionsAnswered();

  private:
    using Clock = std::chrono::steady_clock;
    struct Mailbox;
    struct Arrival
    {
        quint64 number;
        FileAnswer answer;
        Clock::time_point at;
    };
    struct Entry
    {
        std::optional<FileAnswer> answer;
        quint64 answerNumber = 0;
        // The question on the way, if any.
        quint64 askedNumber = 0;
        FileDepth askedDepth = FileDepth::stamp;
        Clock::time_point askedAt;
        // When the answer came, and how long the last look at its stamp took from the question to the answer.
        Clock::time_point answeredAt;
        Clock::duration stampTook{};
    };
    struct Folder
    {
        int onTheWay = 0;
        // The last sign of life: a call on it that ended, its last answer, or when it was given work while idle.
        Clock::time_point heardAt;
        bool stalled = false;
    };

    // The files to tell of, each once, in the order met.
    struct Told
    {
        QList<QUrl> files;
        QSet<QUrl> met;
        void add(const QUrl& url)
        {
            if (!met.contains(url)) {
                met.insert(url);
                files.append(url);
            }
        }
    };

    void send(const QUrl& url, Entry& entry, FileDepth depth, Urgency urgency = Urgency::background);
    // Asks the file unless an answer that deep is in or on its way; whether it is in.
    bool askUnlessKnown(const QUrl& url, Entry& entry, FileDepth depth);
    // Takes every answer that has come in; tells of the files whose answer changed.
    void collectAll();
    // Takes one answer in, adding the files it changed what is known of.
    void collect(const Arrival& arrival, Told& changed);
    void tell(const Told& changed);
    // Marks folders that have answered nothing for too long, and tells of their files.
    void judgeFolders();
    bool folderStalled(const QUrl& url) const;
    void refreshTurn();

    std::shared_ptr<FileQuestions> m_questions;
    std::shared_ptr<Mailbox> m_mailbox;
    QHash<QUrl, Entry> m_entries;
    QHash<QString, Folder> m_folders;
    QHash<quint64, QUrl> m_asked;
    quint64 m_nextNumber = 1;
    quint64 m_revivals = 0;
    // Whether a folder may be stalled now: false spares each look at a file the look at its folder.
    bool m_anyStalled = false;
    QTimer m_watch;
    // The files refreshInTurns() has yet to ask, by depth, in order.
    QList<std::pair<QUrl, FileDepth>> m_inTurns;
    qsizetype m_inTurnsUpTo = 0;
    QTimer m_turns;
};

#pragma once

#include "filequestions.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <chrono>
#include <memory>
#include <optional>

// What the main thread knows of media files: their existence, kind, size and stamps, as FileQuestions answered it on
// other threads. The main thread never asks the disk itself; it waits at most a short deadline for fresh answers,
// and a file whose answer has not come by then counts as not answering. Main thread.
class MediaFiles : public QObject
{
    Q_OBJECT
  public:
    // Long enough for a busy local disk, short enough that an operator does not feel it once.
    static constexpr std::chrono::milliseconds kDeadline{150};
    using Answers = QHash<QUrl, std::optional<FileAnswer>>;

    MediaFiles(std::shared_ptr<FileQuestions> questions, QObject* parent = nullptr);
    ~MediaFiles() override;

    // Fresh answers for the files, each asked now, waiting at most the deadline for all of them together. A file
    // without answer by then has none (nullopt); one whose question, or a question about its folder, has already
    // gone unanswered past the deadline is not waited for again.
    Answers ask(const QList<QUrl>& urls, FileDepth depth);
    // The newest answer so far, at least as deep as asked, without waiting; the file is asked again in the
    // background. None while the first answer is on the way, or when the file has not answered within the deadline
    // (then stalled() is true).
    std::optional<FileAnswer> known(const QUrl& url, FileDepth depth);
    // The file's question has gone unanswered for longer than the deadline.
    bool stalled(const QUrl& url) const;
    // A caller was told that the file did not answer, and no answer has come since.
    bool unanswered(const QUrl& url) const;

  signals:
    // A file's answer came in the background and differs from the one known before, or the file stopped answering.
    void answered(const QUrl& url);

  private:
    using Clock = std::chrono::steady_clock;
    struct Mailbox;
    struct Entry
    {
        std::optional<FileAnswer> answer;
        quint64 answerNumber = 0;
        // The question on the way, if any.
        quint64 askedNumber = 0;
        Clock::time_point askedAt;
        FileDepth askedDepth = FileDepth::stamp;
        // Someone was told the file did not answer: its next answer is news, whatever it says.
        bool toldUnanswered = false;
    };

    // Asked at the moment given: a caller that waits out the deadline from then finds the question stalled.
    quint64 send(const QUrl& url, Entry& entry, FileDepth depth, Clock::time_point askedAt);
    bool isStalled(const Entry& entry, Clock::time_point now) const;
    // Folders with a question unanswered past the deadline.
    QSet<QString> stalledFolders(Clock::time_point now) const;
    // Takes the answer to a question in from the mailbox, if it has come; true when it changed what is known.
    bool collect(quint64 number);

    std::shared_ptr<FileQuestions> m_questions;
    std::shared_ptr<Mailbox> m_mailbox;
    QHash<QUrl, Entry> m_entries;
    QHash<quint64, QUrl> m_asked;
    quint64 m_nextNumber = 1;
};

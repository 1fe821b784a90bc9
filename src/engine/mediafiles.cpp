#include "mediafiles.h"

#include <QPointer>
#include <QSet>
#include <QTimer>
#include <condition_variable>
#include <mutex>

// Where the folders' threads leave answers: the main thread waits on it or takes them in later.
struct MediaFiles::Mailbox
{
    std::mutex lock;
    std::condition_variable arrived;
    QHash<quint64, FileAnswer> answers;
    QPointer<MediaFiles> owner;
};

MediaFiles::MediaFiles(std::shared_ptr<FileQuestions> questions, QObject* parent)
    : QObject(parent), m_questions(std::move(questions)), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = this;
}

MediaFiles::~MediaFiles()
{
    std::lock_guard guard(m_mailbox->lock);
    m_mailbox->owner = nullptr;
}

quint64 MediaFiles::send(const QUrl& url, Entry& entry, FileDepth depth, Clock::time_point askedAt)
{
    const quint64 number = m_nextNumber++;
    entry.askedNumber = number;
    entry.askedAt = askedAt;
    entry.askedDepth = depth;
    m_asked.insert(number, url);
    m_questions->ask(url, depth, entry.answer, [mailbox = m_mailbox, number, url](const FileAnswer& answer) {
        std::lock_guard guard(mailbox->lock);
        mailbox->answers.insert(number, answer);
        mailbox->arrived.notify_all();
        if (mailbox->owner)
            QMetaObject::invokeMethod(
                mailbox->owner,
                [owner = mailbox->owner, number, url] {
                    if (owner && owner->collect(number))
                        emit owner->answered(url);
                },
                Qt::QueuedConnection);
    });
    return number;
}

bool MediaFiles::isStalled(const Entry& entry, Clock::time_point now) const
{
    return entry.askedNumber != 0 && now - entry.askedAt >= kDeadline;
}

bool MediaFiles::stalled(const QUrl& url) const
{
    const auto entry = m_entries.constFind(url);
    return entry != m_entries.cend() && isStalled(*entry, Clock::now());
}

bool MediaFiles::unanswered(const QUrl& url) const
{
    const auto entry = m_entries.constFind(url);
    return entry != m_entries.cend() && entry->toldUnanswered;
}

bool MediaFiles::collect(quint64 number)
{
    std::optional<FileAnswer> answer;
    {
        std::lock_guard guard(m_mailbox->lock);
        if (const auto found = m_mailbox->answers.constFind(number); found != m_mailbox->answers.cend()) {
            answer = *found;
            m_mailbox->answers.erase(found);
        }
    }
    if (!answer)
        return false;
    const QUrl url = m_asked.take(number);
    Entry& entry = m_entries[url];
    if (number == entry.askedNumber)
        entry.askedNumber = 0;
    if (number < entry.answerNumber)
        return false;
    // A shallower look at an unchanged file keeps what the deeper one found.
    if (entry.answer && answer->depth < entry.answer->depth && answer->stamp == entry.answer->stamp)
        answer = entry.answer;
    const bool changed = entry.answer != answer || entry.toldUnanswered;
    entry.answer = answer;
    entry.answerNumber = number;
    entry.toldUnanswered = false;
    return changed;
}

QSet<QString> MediaFiles::stalledFolders(Clock::time_point now) const
{
    QSet<QString> folders;
    for (auto entry = m_entries.cbegin(); entry != m_entries.cend(); ++entry)
        if (isStalled(*entry, now))
            folders.insert(FileQuestions::folderOf(entry.key()));
    return folders;
}

MediaFiles::Answers MediaFiles::ask(const QList<QUrl>& urls, FileDepth depth)
{
    Answers answers;
    const Clock::time_point now = Clock::now();
    const QSet<QString> stalled = stalledFolders(now);
    QList<quint64> awaited;
    for (const QUrl& url : urls) {
        if (answers.contains(url))
            continue;
        answers.insert(url, std::nullopt);
        Entry& entry = m_entries[url];
        // Its question would wait behind one that has not been answered in time; it is answered when the folder is.
        const bool folderStalled = stalled.contains(FileQuestions::folderOf(url));
        if (entry.askedNumber != 0) {
            // Asked again, a stalled file would only queue behind its own question.
            if (isStalled(entry, now))
                continue;
            if (entry.askedDepth >= depth) {
                if (!folderStalled)
                    awaited.append(entry.askedNumber);
                continue;
            }
        }
        const quint64 number = send(url, entry, depth, now);
        if (!folderStalled)
            awaited.append(number);
    }
    {
        std::unique_lock guard(m_mailbox->lock);
        m_mailbox->arrived.wait_until(guard, now + kDeadline, [&] {
            for (quint64 number : std::as_const(awaited))
                if (!m_mailbox->answers.contains(number))
                    return false;
            return true;
        });
    }
    QList<QUrl> changed;
    for (quint64 number : std::as_const(awaited)) {
        const QUrl url = m_asked.value(number);
        if (collect(number))
            changed.append(url);
    }
    // Told after the caller has its answers, as answers that came in the background are.
    if (!changed.isEmpty())
        QMetaObject::invokeMethod(
            this,
            [this, changed] {
                for (const QUrl& url : changed)
                    emit answered(url);
            },
            Qt::QueuedConnection);
    for (auto answer = answers.begin(); answer != answers.end(); ++answer) {
        Entry& entry = m_entries[answer.key()];
        // An answer older than the question still on the way is not fresh; one taken in just now is.
        if ((entry.askedNumber == 0 || entry.answerNumber > entry.askedNumber) && entry.answer &&
            entry.answer->depth >= depth)
            *answer = entry.answer;
        else
            entry.toldUnanswered = true;
    }
    return answers;
}

std::optional<FileAnswer> MediaFiles::known(const QUrl& url, FileDepth depth)
{
    Entry& entry = m_entries[url];
    const Clock::time_point now = Clock::now();
    if (entry.askedNumber == 0 || (entry.askedDepth < depth && !isStalled(entry, now))) {
        send(url, entry, depth, now);
        QTimer::singleShot(kDeadline, this, [this, url] {
            Entry& waited = m_entries[url];
            if (!waited.toldUnanswered && isStalled(waited, Clock::now())) {
                waited.toldUnanswered = true;
                emit answered(url);
            }
        });
    }
    if (isStalled(entry, now)) {
        entry.toldUnanswered = true;
        return std::nullopt;
    }
    if (!entry.answer || entry.answer->depth < depth)
        return std::nullopt;
    return entry.answer;
}

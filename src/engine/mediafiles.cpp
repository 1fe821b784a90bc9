#include "mediafiles.h"

#include "turnslices.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <mutex>

// Where the folders' threads leave answers; the main thread takes them in when it next runs its events.
struct MediaFiles::Mailbox
{
    std::mutex lock;
    std::vector<Arrival> arrivals;
    QPointer<MediaFiles> owner;
};

MediaFiles::MediaFiles(std::shared_ptr<FileQuestions> questions, QObject* parent)
    : QObject(parent), m_questions(std::move(questions)), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->owner = this;
    // A folder is judged a little after it could have stalled, so a tick of the watch never comes too early.
    m_watch.setInterval(int(kStallAfter.count() / 4));
    connect(&m_watch, &QTimer::timeout, this, &MediaFiles::judgeFolders);
    m_turns.setSingleShot(true);
    m_turns.setInterval(0);
    connect(&m_turns, &QTimer::timeout, this, &MediaFiles::refreshTurn);
}

MediaFiles::~MediaFiles()
{
    std::lock_guard guard(m_mailbox->lock);
    m_mailbox->owner = nullptr;
}

void MediaFiles::send(const QUrl& url, Entry& entry, FileDepth depth, Urgency urgency)
{
    const quint64 number = m_nextNumber++;
    if (entry.askedNumber == 0) {
        Folder& folder = m_folders[FileQuestions::folderOf(url)];
        if (folder.onTheWay++ == 0 && !folder.stalled)
            folder.heardAt = Clock::now();
    }
    entry.askedNumber = number;
    entry.askedDepth = depth;
    entry.askedAt = Clock::now();
    m_asked.insert(number, url);
    if (!m_watch.isActive())
        m_watch.start();
    m_questions->ask(
        url, depth, entry.answer,
        [mailbox = m_mailbox, number](const FileAnswer& answer) {
            std::lock_guard guard(mailbox->lock);
            mailbox->arrivals.push_back({number, answer, Clock::now()});
            // One call takes in every answer that came before it runs.
            if (mailbox->arrivals.size() == 1 && mailbox->owner)
                QMetaObject::invokeMethod(mailbox->owner, &MediaFiles::collectAll, Qt::QueuedConnection);
        },
        urgency);
}

void MediaFiles::collectAll()
{
    std::vector<Arrival> arrivals;
    {
        std::lock_guard guard(m_mailbox->lock);
        arrivals.swap(m_mailbox->arrivals);
    }
    Told changed;
    changed.met.reserve(qsizetype(arrivals.size()));
    for (const Arrival& arrival : arrivals)
        collect(arrival, changed);
    tell(changed);
    if (!arrivals.empty())
        emit questionsAnswered();
}

void MediaFiles::tell(const Told& changed)
{
    if (changed.files.isEmpty())
        return;
    emit answeredFiles(changed.files);
    for (const QUrl& url : changed.files)
        emit answered(url);
}

void MediaFiles::collect(const Arrival& arrival, Told& changed)
{
    const QUrl url = m_asked.take(arrival.number);
    if (url.isEmpty())
        return;
    const QString folderName = FileQuestions::folderOf(url);
    Folder& folder = m_folders[folderName];
    // Any answer, even to a question a deeper one replaced, shows that the folder works.
    folder.heardAt = std::max(folder.heardAt, arrival.at);
    if (folder.stalled) {
        folder.stalled = false;
        ++m_revivals;
        // This file is answered and the folder's others are waiting again, none of them stalled.
        changed.add(url);
        for (const QUrl& waiting : std::as_const(m_asked))
            if (FileQuestions::folderOf(waiting) == folderName)
                changed.add(waiting);
    }
    Entry& entry = m_entries[url];
    if (entry.askedNumber == arrival.number) {
        entry.askedNumber = 0;
        --folder.onTheWay;
        entry.answeredAt = arrival.at;
        if (arrival.answer.depth == FileDepth::stamp)
            entry.stampTook = arrival.at - entry.askedAt;
    }
    // An older question that looked deeper at the file as it still is adds what it found.
    const bool deeperAsItIs =
        entry.answer && arrival.answer.depth > entry.answer->depth && arrival.answer.stamp == entry.answer->stamp;
    if (arrival.number < entry.answerNumber && !deeperAsItIs)
        return;
    FileAnswer taken = arrival.answer;
    // A shallower look at an unchanged file keeps what the deeper one found.
    if (entry.answer && taken.depth < entry.answer->depth && taken.stamp == entry.answer->stamp)
        taken = *entry.answer;
    if (entry.answer != taken)
        changed.add(url);
    entry.answer = taken;
    entry.answerNumber = arrival.number;
}

void MediaFiles::judgeFolders()
{
    // Answers already in count as signs of life, however busy the main thread was.
    collectAll();
    const Clock::time_point now = Clock::now();
    QSet<QString> turned;
    bool busy = false;
    bool anyStalled = false;
    for (auto folder = m_folders.begin(); folder != m_folders.end();) {
        if (folder->onTheWay <= 0) {
            folder = m_folders.erase(folder);
            continue;
        }
        busy = true;
        // Each call on the folder that ends is a sign of life: a question costs several, and a share that answers
        // each of them slowly never gives a whole answer within a second. It is silent only when it has been so for
        // longer than its own calls take.
        const CallPace& pace = m_questions->pace(folder.key());
        if (const std::optional<Clock::time_point> heard = pace.lastEnded())
            folder->heardAt = std::max(folder->heardAt, *heard);
        if (const bool silent = now - folder->heardAt >= pace.silentAfter(); silent != folder->stalled) {
            folder->stalled = silent;
            // Its files may be waiting again: work that looked past them looks again.
            if (!silent)
                ++m_revivals;
            turned.insert(folder.key());
        }
        anyStalled = anyStalled || folder->stalled;
        ++folder;
    }
    m_anyStalled = anyStalled;
    if (!busy)
        m_watch.stop();
    if (turned.isEmpty())
        return;
    Told told;
    for (auto asked = m_asked.cbegin(); asked != m_asked.cend(); ++asked)
        if (turned.contains(FileQuestions::folderOf(*asked)))
            told.add(*asked);
    tell(told);
}

bool MediaFiles::folderStalled(const QUrl& url) const
{
    if (!m_anyStalled)
        return false;
    const auto folder = m_folders.constFind(FileQuestions::folderOf(url));
    return folder != m_folders.cend() && folder->stalled;
}

// One look-up of the file each: checks look at thousands.
std::optional<FileAnswer> MediaFiles::known(const QUrl& url, FileDepth depth)
{
    Entry& entry = m_entries[url];
    if (!askUnlessKnown(url, entry, depth))
        return std::nullopt;
    return entry.answer;
}

bool MediaFiles::askUnlessKnown(const QUrl& url, Entry& entry, FileDepth depth)
{
    const bool deepEnough = entry.answer && entry.answer->depth >= depth;
    const bool askedDeepEnough = entry.askedNumber != 0 && entry.askedDepth >= depth;
    if (!deepEnough && !askedDeepEnough)
        send(url, entry, depth);
    return deepEnough;
}

FileState MediaFiles::state(const QUrl& url, FileDepth depth)
{
    Entry& entry = m_entries[url];
    const bool deepEnough = askUnlessKnown(url, entry, depth);
    if (folderStalled(url))
        return FileState::stalled;
    return deepEnough ? FileState::answered : FileState::waiting;
}

MediaFiles::Look MediaFiles::look(const QUrl& url, FileDepth depth)
{
    Entry& entry = m_entries[url];
    const bool deepEnough = askUnlessKnown(url, entry, depth);
    if (folderStalled(url))
        return {FileState::stalled, std::nullopt};
    return deepEnough ? Look{FileState::answered, entry.answer} : Look{FileState::waiting, std::nullopt};
}

void MediaFiles::refresh(const QList<QUrl>& urls, FileDepth depth, Again again, Urgency urgency)
{
    for (const QUrl& url : urls) {
        Entry& entry = m_entries[url];
        if (entry.askedNumber == 0 || entry.askedDepth < depth || (again == Again::fromNow && !folderStalled(url)))
            send(url, entry, depth, urgency);
        else if (urgency == Urgency::urgent)
            m_questions->hurry(url);
    }
}

void MediaFiles::refreshAged(const QUrl& url, FileDepth depth)
{
    Entry& entry = m_entries[url];
    if (entry.askedNumber != 0)
        return;
    if (entry.answer) {
        const Clock::duration age = Clock::now() - entry.answeredAt;
        if (age < kAnswerAges || age < 2 * entry.stampTook)
            return;
    }
    send(url, entry, depth);
}

void MediaFiles::refreshInTurns(const QList<QUrl>& urls, FileDepth depth)
{
    for (const QUrl& url : urls)
        m_inTurns.append({url, depth});
    if (!m_turns.isActive())
        m_turns.start();
}

void MediaFiles::refreshTurn()
{
    QElapsedTimer turn;
    turn.start();
    while (m_inTurnsUpTo < m_inTurns.size()) {
        const auto& [url, depth] = m_inTurns[m_inTurnsUpTo++];
        refresh({url}, depth);
        if (m_inTurnsUpTo % 64 == 0 && turn.nsecsElapsed() > kTurnSliceNs) {
            m_turns.start();
            return;
        }
    }
    m_inTurns.clear();
    m_inTurnsUpTo = 0;
}

void MediaFiles::hurry(const QList<QUrl>& urls, FileDepth depth)
{
    for (const QUrl& url : urls) {
        Entry& entry = m_entries[url];
        if (entry.answer && entry.answer->depth >= depth)
            continue;
        // A deeper question on the way is not hurried: what is needed now is answered on its own, sooner.
        if (entry.askedNumber != 0 && entry.askedDepth == depth)
            m_questions->hurry(url);
        else
            send(url, entry, depth, Urgency::urgent);
    }
}

bool MediaFiles::onTheWay(const QUrl& url) const
{
    const auto entry = m_entries.constFind(url);
    return entry != m_entries.cend() && entry->askedNumber != 0 && !folderStalled(url);
}

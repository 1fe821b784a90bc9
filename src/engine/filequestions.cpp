#include "filequestions.h"

#include "asidethreads.h"
#include "filecall.h"
#include "mediafilecheck.h"

#include <QHash>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

struct Question
{
    QUrl url;
    FileDepth depth;
    std::optional<FileAnswer> previous;
    std::vector<FileQuestions::Answered> callers;
    bool urgent = false;
    // Taken into the urgent lane: nothing is left to answer here.
    bool movedAhead = false;
};

// A folder's questions not yet begun, first to last; the urgent ones are begun first.
struct Lane
{
    std::deque<Question> urgent;
    std::deque<Question> background;

    std::deque<Question>& next() { return urgent.empty() ? background : urgent; }
    void clear()
    {
        urgent.clear();
        background.clear();
    }
};

FileAnswer answer(const FileQuestions::IsReadable& isReadable, const Question& question)
{
    FileAnswer answer;
    answer.depth = question.depth;
    answer.stamp = fileStamp(question.url);
    if (question.depth == FileDepth::stamp)
        return answer;
    answer.readable = isReadable(question.url);
    if (question.depth != FileDepth::header || !answer.readable || !question.url.isLocalFile())
        return answer;
    const std::optional<FileAnswer>& previous = question.previous;
    answer.unusable = previous && previous->depth == FileDepth::header && previous->stamp == answer.stamp
                          ? previous->unusable
                          : unusableMediaReason(question.url.toLocalFile());
    return answer;
}

} // namespace

// Shared with the threads, which may outlive the questions' owner while a folder stalls.
struct FileQuestions::Lanes
{
    explicit Lanes(IsReadable isReadable) : isReadable(std::move(isReadable)) {}

    // Answers the folder's questions, first to last, until none is left. Every call on the file system that ends on
    // the way is a sign of life of the folder.
    void run(const QString& folder)
    {
        std::unique_lock guard(lock);
        std::shared_ptr<Heard>& slot = heardFrom[folder];
        if (!slot)
            slot = std::make_shared<Heard>();
        const std::shared_ptr<Heard> heard = slot;
        // A call that begins answers nothing yet: a folder one of whose calls has waited a second is silent, whatever
        // other calls begin meanwhile.
        const FileCall::Watch watch([heard](FileCall::Moment moment) {
            if (moment == FileCall::Moment::ends)
                heard->at = Clock::now().time_since_epoch().count();
        });
        while (true) {
            std::deque<Question>& lane = waiting[folder].next();
            if (lane.empty()) {
                waiting.remove(folder);
                if (--workers[folder] == 0) {
                    workers.remove(folder);
                    heardFrom.remove(folder);
                }
                return;
            }
            // A question being answered takes no more callers: one who asks now wants what the disk says from now.
            if (pending.value(lane.front().url) == &lane.front())
                pending.remove(lane.front().url);
            const Question question = std::move(lane.front());
            lane.pop_front();
            if (question.movedAhead)
                continue;
            guard.unlock();
            const FileAnswer found = answer(isReadable, question);
            for (const Answered& caller : question.callers)
                caller(found);
            guard.lock();
        }
    }

    const IsReadable isReadable;
    std::mutex lock;
    // Moves a waiting background question into the urgent lane, with its callers.
    void hurry(Question& question)
    {
        Lane& lane = waiting[FileQuestions::folderOf(question.url)];
        Question& ahead = lane.urgent.emplace_back(
            Question{question.url, question.depth, std::move(question.previous), std::move(question.callers), true});
        question.movedAhead = true;
        pending.insert(ahead.url, &ahead);
    }

    // By folder, the questions not yet begun.
    QHash<QString, Lane> waiting;
    // By folder, the threads answering its questions.
    QHash<QString, int> workers;
    // By folder while it has threads, when one of them last ended a call on the file system.
    struct Heard
    {
        std::atomic<Clock::rep> at{0};
    };
    QHash<QString, std::shared_ptr<Heard>> heardFrom;
    // The newest question waiting for each file, which later callers join; a deque grown or shrunk at its ends keeps
    // its elements in place.
    QHash<QUrl, Question*> pending;
};

QString FileQuestions::folderOf(const QUrl& url)
{
    if (!url.isLocalFile())
        return {};
    const QString path = url.toLocalFile();
    return path.left(path.lastIndexOf(QLatin1Char('/')));
}

FileQuestions::FileQuestions(IsReadable isReadable) : m_lanes(std::make_shared<Lanes>(std::move(isReadable))) {}

// Questions not yet begun are dropped: nobody waits for their answers, and their callers may be gone.
FileQuestions::~FileQuestions()
{
    std::lock_guard guard(m_lanes->lock);
    for (Lane& lane : m_lanes->waiting)
        lane.clear();
    m_lanes->pending.clear();
}

void FileQuestions::ask(const QUrl& url, FileDepth depth, std::optional<FileAnswer> previous, Answered answered,
                        Urgency urgency)
{
    const QString folder = folderOf(url);
    const bool urgent = urgency == Urgency::urgent;
    std::lock_guard guard(m_lanes->lock);
    if (Question* waiting = m_lanes->pending.value(url); waiting && waiting->depth >= depth) {
        waiting->callers.push_back(std::move(answered));
        if (urgent && !waiting->urgent)
            m_lanes->hurry(*waiting);
        return;
    }
    Lane& lane = m_lanes->waiting[folder];
    std::deque<Question>& queue = urgent ? lane.urgent : lane.background;
    queue.push_back({url, depth, std::move(previous), {std::move(answered)}, urgent});
    m_lanes->pending.insert(url, &queue.back());
    int& workers = m_lanes->workers[folder];
    if (workers >= kThreadsPerFolder)
        return;
    try {
        // Counted from here, not from when the thread first runs. Its answer is nobody's once the program ends, and a
        // share that stopped answering may hold it for good: the end does not wait for it.
        auto running = std::make_unique<AsideThreads::Unwaited>();
        std::thread([lanes = m_lanes, folder, running = std::move(running)] { lanes->run(folder); }).detach();
        ++workers;
    } catch (const std::system_error&) {
        // No thread to be had: a question left without one is answered by the next thread of its folder.
        if (workers == 0) {
            m_lanes->waiting.remove(folder);
            m_lanes->workers.remove(folder);
            m_lanes->pending.remove(url);
        }
    }
}

std::optional<FileQuestions::Clock::time_point> FileQuestions::heardFrom(const QString& folder) const
{
    std::lock_guard guard(m_lanes->lock);
    const std::shared_ptr<Lanes::Heard> heard = m_lanes->heardFrom.value(folder);
    if (!heard || heard->at == 0)
        return std::nullopt;
    return Clock::time_point(Clock::duration(heard->at.load()));
}

void FileQuestions::hurry(const QUrl& url)
{
    std::lock_guard guard(m_lanes->lock);
    if (Question* waiting = m_lanes->pending.value(url); waiting && !waiting->urgent)
        m_lanes->hurry(*waiting);
}

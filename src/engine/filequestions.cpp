#include "filequestions.h"

#include "asidethreads.h"
#include "filecall.h"
#include "mediafilecheck.h"

#include <QFile>
#include <QHash>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <sys/stat.h>
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
    std::shared_ptr<CallPace> pace;
    // Work aside from the moment it is asked until it is answered or dropped. Its answer is nobody's once the program
    // ends, and a share that stopped answering may hold it for good: the end does not wait for it.
    std::shared_ptr<AsideThreads::Unwaited> counted;
};

// What the caller hands over: a question, or a file whose waiting question is to go ahead.
struct Handed
{
    std::optional<Question> question;
    QUrl hurried;
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

    // Sorts what is handed over into the folders' lanes and starts their threads, until the owner goes; what is
    // handed over after that is dropped.
    void sort()
    {
        std::vector<Handed> handed;
        while (true) {
            {
                std::unique_lock guard(inbox.lock);
                inbox.arrived.wait(guard, [&] { return inbox.closing || !inbox.items.empty(); });
                if (inbox.closing)
                    return;
                handed.swap(inbox.items);
            }
            std::lock_guard guard(lock);
            for (Handed& item : handed)
                take(std::move(item));
            handed.clear();
        }
    }

    // Under `lock`.
    void take(Handed item)
    {
        if (item.question)
            place(std::move(*item.question));
        else if (Question* waiting = pending.value(item.hurried); waiting && !waiting->urgent)
            hurry(*waiting);
    }

    // Hands the item to the sorting thread; without one (no thread was to be had), sorts it here.
    void hand(Handed item)
    {
        if (!sorting) {
            std::lock_guard guard(lock);
            take(std::move(item));
            return;
        }
        {
            std::lock_guard guard(inbox.lock);
            inbox.items.push_back(std::move(item));
        }
        inbox.arrived.notify_one();
    }

    // Puts the question in its folder's lane, or with one already waiting for the file, and gives the folder the
    // threads it needs. Under `lock`.
    void place(Question question)
    {
        const QString folder = FileQuestions::folderOf(question.url);
        const bool urgent = question.urgent;
        if (Question* waiting = pending.value(question.url); waiting && joins(*waiting, question)) {
            for (FileQuestions::Answered& caller : question.callers)
                waiting->callers.push_back(std::move(caller));
            if (urgent && !waiting->urgent)
                hurry(*waiting);
            return;
        }
        const std::shared_ptr<CallPace> pace = question.pace;
        Lane& lane = waiting[folder];
        std::deque<Question>& queue = urgent ? lane.urgent : lane.background;
        queue.push_back(std::move(question));
        pending.insert(queue.back().url, &queue.back());
        int& all = workers[folder];
        if (all < kThreadsPerFolder) {
            start(folder, pace, false);
            return;
        }
        // A slow folder answers many calls side by side: urgent questions are not left waiting behind looks at
        // headers in the background.
        int& quick = urgentWorkers[folder];
        if (urgent && slow(*pace) && quick < kUrgentThreadsPerFolder && qsizetype(lane.urgent.size()) > quick)
            start(folder, pace, true);
    }

    // A question waiting for the file takes a new caller along when it asks as much; an urgent caller that needs
    // less does not wait for a deeper look.
    static bool joins(const Question& waiting, const Question& asked)
    {
        return waiting.depth == asked.depth || (waiting.depth > asked.depth && (!asked.urgent || waiting.urgent));
    }

    static bool slow(const CallPace& pace) { return pace.silentAfter() > CallPace::kQuickSilence; }

    void start(const QString& folder, const std::shared_ptr<CallPace>& pace, bool urgentOnly)
    {
        try {
            auto running = std::make_unique<AsideThreads::Unwaited>();
            std::thread([lanes = shared_from_this(), folder, pace, urgentOnly, running = std::move(running)] {
                lanes->run(folder, *pace, urgentOnly);
            }).detach();
            ++(urgentOnly ? urgentWorkers : workers)[folder];
        } catch (const std::system_error&) {
            // No thread to be had: a question left without one is answered by the next thread of its folder.
            if (workers.value(folder) == 0 && urgentWorkers.value(folder) == 0) {
                for (const std::deque<Question>* queue : {&waiting[folder].urgent, &waiting[folder].background})
                    for (const Question& question : *queue)
                        if (pending.value(question.url) == &question)
                            pending.remove(question.url);
                waiting.remove(folder);
            }
        }
    }

    // Answers the folder's questions, first to last, until none is left (only urgent ones for `urgentOnly`). Every
    // call on the file system that ends on the way is a sign of life of the folder, and tells its pace.
    void run(const QString& folder, CallPace& pace, bool urgentOnly)
    {
        Clock::time_point began = Clock::now();
        // A call that begins answers nothing yet: a folder one of whose calls has waited long is silent, whatever
        // other calls begin meanwhile.
        const FileCall::Watch watch([&pace, &began](FileCall::Moment moment) {
            const Clock::time_point now = Clock::now();
            if (moment == FileCall::Moment::ends)
                pace.ended(now - began);
            began = now;
        });
        // A folder never heard from is first asked the least there is, so that a slow share shows its pace after one
        // request rather than after a whole question.
        if (!pace.lastEnded()) {
            const FileCall call;
            struct stat info = {};
            ::stat(QFile::encodeName(folder).constData(), &info);
        }
        std::unique_lock guard(lock);
        while (true) {
            Lane& folderLane = waiting[folder];
            std::deque<Question>& lane = urgentOnly ? folderLane.urgent : folderLane.next();
            if (lane.empty()) {
                if (--(urgentOnly ? urgentWorkers : workers)[folder] <= 0)
                    (urgentOnly ? urgentWorkers : workers).remove(folder);
                if (!workers.contains(folder) && !urgentWorkers.contains(folder))
                    waiting.remove(folder);
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

    // Moves a waiting background question into the urgent lane, with its callers.
    void hurry(Question& question)
    {
        Lane& lane = waiting[FileQuestions::folderOf(question.url)];
        Question& ahead = lane.urgent.emplace_back(Question{question.url, question.depth, std::move(question.previous),
                                                            std::move(question.callers), true, false, question.pace,
                                                            std::move(question.counted)});
        question.movedAhead = true;
        pending.insert(ahead.url, &ahead);
    }

    std::shared_ptr<Lanes> shared_from_this() { return self.lock(); }

    const IsReadable isReadable;
    std::weak_ptr<Lanes> self;
    bool sorting = false;

    // Where the caller hands questions over; held only to put one in or take them all.
    struct Inbox
    {
        std::mutex lock;
        std::condition_variable arrived;
        std::vector<Handed> items;
        bool closing = false;
    } inbox;

    // Held by the sorting thread and the folders' threads only, never while a file is asked.
    std::mutex lock;
    // By folder, the questions not yet begun.
    QHash<QString, Lane> waiting;
    // By folder, the threads answering its questions, and those answering only its urgent ones.
    QHash<QString, int> workers;
    QHash<QString, int> urgentWorkers;
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

FileQuestions::FileQuestions(IsReadable isReadable) : m_lanes(std::make_shared<Lanes>(std::move(isReadable)))
{
    m_lanes->self = m_lanes;
    try {
        std::thread([lanes = m_lanes] { lanes->sort(); }).detach();
        m_lanes->sorting = true;
    } catch (const std::system_error&) {
        // Questions are then sorted as they are asked.
    }
}

// Questions not yet begun are dropped: nobody waits for their answers, and their callers may be gone.
FileQuestions::~FileQuestions()
{
    {
        std::lock_guard guard(m_lanes->inbox.lock);
        m_lanes->inbox.closing = true;
        m_lanes->inbox.items.clear();
    }
    m_lanes->inbox.arrived.notify_one();
    std::lock_guard guard(m_lanes->lock);
    for (Lane& lane : m_lanes->waiting)
        lane.clear();
    m_lanes->pending.clear();
}

void FileQuestions::ask(const QUrl& url, FileDepth depth, std::optional<FileAnswer> previous, Answered answered,
                        Urgency urgency)
{
    std::shared_ptr<CallPace>& pace = m_paces[folderOf(url)];
    if (!pace)
        pace = std::make_shared<CallPace>();
    Question question{url,
                      depth,
                      std::move(previous),
                      {std::move(answered)},
                      urgency == Urgency::urgent,
                      false,
                      pace,
                      std::make_shared<AsideThreads::Unwaited>()};
    m_lanes->hand({std::move(question), {}});
}

const CallPace& FileQuestions::pace(const QString& folder)
{
    std::shared_ptr<CallPace>& pace = m_paces[folder];
    if (!pace)
        pace = std::make_shared<CallPace>();
    return *pace;
}

void FileQuestions::hurry(const QUrl& url)
{
    m_lanes->hand({std::nullopt, url});
}

#include "stillgrabs.h"

#include "asidethreads.h"
#include "belowshowclock.h"
#include "videoframegrabber.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using Decoders = std::vector<std::unique_ptr<VideoFrameGrabber>>;

struct UrlHash
{
    size_t operator()(const QUrl& url) const { return qHash(url); }
};

// Closing a decoder waits for its folder, which may not answer: never on the show's thread.
void closeAside(Decoders decoders)
{
    if (decoders.empty())
        return;
    auto closing = std::make_shared<Decoders>(std::move(decoders));
    try {
        auto counted = std::make_unique<AsideThreads::Unwaited>();
        std::thread([closing, counted = std::move(counted)] {
            runBelowShowClock();
            closing->clear();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: they stay open rather than close on the show's thread.
        new Decoders(std::move(*closing));
    }
}

} // namespace

struct StillGrabs::Files : std::enable_shared_from_this<Files>
{
    struct Wanted
    {
        double seconds = 0;
        quint64 round = 0;
        std::vector<Answered> answered;
    };
    struct File
    {
        // Open and unused; a grab takes it for as long as it runs.
        std::unique_ptr<VideoFrameGrabber> decoder;
        std::deque<Wanted> waiting;
        // The grab under way.
        std::optional<Wanted> current;
        // A thread works through the file's grabs.
        bool running = false;
        // The last round that asked for the file.
        quint64 askedIn = 0;
    };

    // With the lock held.
    void dropSuperseded(File& file)
    {
        std::erase_if(file.waiting, [this](const Wanted& wanted) { return !receiver || wanted.round != round; });
    }

    // With the lock held: the file's grabs go on a thread of their own, which ends once none is left.
    void start(const QUrl& url, File& file)
    {
        try {
            auto counted = std::make_unique<AsideThreads::Unwaited>();
            std::thread([files = shared_from_this(), url, counted = std::move(counted)] { files->run(url); }).detach();
            file.running = true;
        } catch (const std::system_error&) {
            // No thread to be had: the file's next grab tries again.
        }
    }

    void run(const QUrl& url)
    {
        runBelowShowClock();
        std::unique_lock hold(lock);
        std::unique_ptr<VideoFrameGrabber> decoder = std::move(files[url].decoder);
        for (;;) {
            File& file = files[url];
            dropSuperseded(file);
            if (file.waiting.empty())
                break;
            file.current = std::move(file.waiting.front());
            file.waiting.pop_front();
            const double seconds = file.current->seconds;
            hold.unlock();
            if (!decoder)
                decoder = std::make_unique<VideoFrameGrabber>(url);
            const std::optional<QImage> image = decoder->frameAt(seconds, maxSize);
            hold.lock();
            const Wanted done = *std::exchange(files[url].current, std::nullopt);
            // Posted under the lock, so that the receiver cannot go between the check and the post; a post to a
            // receiver that goes later is dropped with it.
            if (receiver)
                for (const Answered& answered : done.answered)
                    QMetaObject::invokeMethod(
                        receiver, [answered, image] { answered(image); }, Qt::QueuedConnection);
        }
        File& file = files[url];
        file.running = false;
        // Kept open while the file is still asked for, so that the scrub's next still finds it ready.
        if (receiver && file.askedIn == round)
            file.decoder = std::move(decoder);
        else
            files.erase(url);
        hold.unlock();
        decoder.reset();
    }

    // With the lock held: the unused decoders of the files that pass, whose entries go with them.
    template <typename Pass> Decoders takeUnused(Pass pass)
    {
        Decoders taken;
        for (auto file = files.begin(); file != files.end();) {
            if (file->second.running || !pass(file->second)) {
                ++file;
                continue;
            }
            if (file->second.decoder)
                taken.push_back(std::move(file->second.decoder));
            file = files.erase(file);
        }
        return taken;
    }

    std::mutex lock;
    // Null once the owner is gone.
    QObject* receiver = nullptr;
    QSize maxSize;
    quint64 round = 0;
    std::unordered_map<QUrl, File, UrlHash> files;
};

StillGrabs::StillGrabs(QObject* receiver, QSize maxSize) : m_files(std::make_shared<Files>())
{
    m_files->receiver = receiver;
    m_files->maxSize = maxSize;
}

// Grabs under way go on without an owner; the decoders not in use are closed aside.
StillGrabs::~StillGrabs()
{
    Decoders unused;
    {
        std::lock_guard guard(m_files->lock);
        m_files->receiver = nullptr;
        unused = m_files->takeUnused([](const Files::File&) { return true; });
    }
    closeAside(std::move(unused));
}

void StillGrabs::startRound(quint64 round)
{
    std::lock_guard guard(m_files->lock);
    m_files->round = round;
    for (auto& entry : m_files->files)
        m_files->dropSuperseded(entry.second);
}

void StillGrabs::grab(const QUrl& url, double seconds, Answered answered)
{
    std::lock_guard guard(m_files->lock);
    const quint64 round = m_files->round;
    Files::File& file = m_files->files[url];
    file.askedIn = round;
    const auto same = [&](const Files::Wanted& wanted) { return wanted.round == round && wanted.seconds == seconds; };
    if (file.current && same(*file.current)) {
        file.current->answered.push_back(std::move(answered));
        return;
    }
    for (Files::Wanted& wanted : file.waiting)
        if (same(wanted)) {
            wanted.answered.push_back(std::move(answered));
            return;
        }
    file.waiting.push_back({seconds, round, {std::move(answered)}});
    if (!file.running)
        m_files->start(url, file);
}

void StillGrabs::closeUnasked()
{
    Decoders unasked;
    {
        std::lock_guard guard(m_files->lock);
        const quint64 round = m_files->round;
        unasked = m_files->takeUnused([round](const Files::File& file) { return file.askedIn != round; });
    }
    closeAside(std::move(unasked));
}

void StillGrabs::closeIdle()
{
    Decoders idle;
    {
        std::lock_guard guard(m_files->lock);
        idle = m_files->takeUnused([](const Files::File&) { return true; });
    }
    closeAside(std::move(idle));
}

bool StillGrabs::grabbing() const
{
    std::lock_guard guard(m_files->lock);
    return std::any_of(m_files->files.cbegin(), m_files->files.cend(),
                       [](const auto& file) { return file.second.running; });
}

#include "bentmesh.h"
#include "engine.h"
#include "eventwait.h"
#include "flashbeeps.h"
#include "mediafixtures.h"
#include "picture.h"
#include "presentedflashes.h"
#include "privatesoundserver.h"
#include "screendisplayprovider.h"
#include "screenoutputwindow.h"
#include "screenoutputwindows.h"
#include "soundlag.h"
#include "soundoutput.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <gtest/gtest.h>
#include <iostream>

using namespace std::chrono_literals;

namespace {

using Time = FlashBeeps::Time;

const ScreenRole kFirst{QStringLiteral("屏幕 1")};
// Seconds of the clip heard and seen after GO.
constexpr int kSecondsWatched = 7;
// The beeps are found in the recording to the sample: sound cut or repeated shows as milliseconds off a second. The
// sound's drift from the host clock is corrected ten milliseconds or so at a time, which a busy machine makes more
// often; seconds cut to catch up are far more.
constexpr double kSpacingTolerance = 20;
// The picture of a flash falls due where the program put it, the sound's lag counted; the beep is heard where the
// sound server played it. Until the sound plays at pace its lag is not known, and pictures wait for the lag last
// measured: the first flash of a cue may lie that far from its beep where the sound server starts slowly on a busy
// machine. A sound late by a third of a second or more, for a whole cue, lies far beyond.
constexpr double kFirstFlashTolerance = 100;
// Once the sound plays at pace, the pictures wait for its lag as measured: every later flash comes with its beep.
constexpr double kTogetherTolerance = 25;
// How long the sound server stops answering as a cue loaded by its GO opens its stream: far longer than the lead
// the cue's start is set ahead, so that a start that does not wait for the load begins without it.
constexpr double kServerHeldUp = 0.5;
// How long after a resume the sink sleeps on: beyond the lag pictures wait for, so that a sound left where the device
// put it misses every flash.
constexpr double kAsleepAfterResume = 0.4;
// Seconds of each cue watched after its GO where several are: a lag the sound starts with stays for the whole cue.
constexpr double kSecondsPerGo = 3.3;
// How far from a second two flashes may fall due while a late sound is found and brought back: the pictures neither
// wait for a silent device nor jump when it plays.
constexpr double kPaceTolerance = 100;
// The last flash watched comes with the time for its beep to be heard.
constexpr auto kBeepHeard = 600ms;

// The mapping of a curved screen: a bent 9 x 9 mesh with soft edges.
ProjectorMapping curvedMapping()
{
    ProjectorMapping mapping = bentMesh(9, 0.03);
    mapping.edges = {0.1, 0.1, 0.05, 0.05};
    return mapping;
}

ScreenOutputWindow* outputWindowOf(const ScreenRole& role)
{
    for (QWindow* candidate : QGuiApplication::topLevelWindows())
        if (auto* window = qobject_cast<ScreenOutputWindow*>(candidate);
            window && window->isOpen() && window->role() == role && window->isExposed())
            return window;
    return nullptr;
}

std::string listed(const std::vector<std::optional<double>>& offsets)
{
    std::string text;
    for (const std::optional<double>& offset : offsets)
        text += offset ? QString::asprintf(" %+.0f", *offset).toStdString() : std::string(" none");
    return text;
}

std::string listed(const std::vector<double>& values)
{
    std::string text;
    for (const double value : values)
        text += QString::asprintf(" %.0f", value).toStdString();
    return text;
}

Time after(Time from, double seconds)
{
    return from + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

double msBetween(Time from, Time to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Runs the event loop until `seconds` after `from`.
void runUntil(Time from, double seconds)
{
    const Time until = after(from, seconds);
    waitUntil([&] { return std::chrono::steady_clock::now() >= until; }, int(seconds * 1000) + 10000);
}

// A fresh engine whose show is a cue for each flash-and-beep clip, 屏幕 1 bound to the 1920 x 1080 display.
struct BoundShow
{
    QTemporaryDir folder;
    std::unique_ptr<Engine> engine;
    ScreenOutputWindow* window = nullptr;
    Time boundAt;
};

std::unique_ptr<BoundShow> bindFreshShow(const QStringList& clips)
{
    auto bound = std::make_unique<BoundShow>();
    Engine::Services services;
    services.displays = std::make_shared<ScreenDisplayProvider>();
    services.windows = std::make_shared<ScreenOutputWindows>();
    services.players = defaultPlayerFactory();
    bound->engine = std::make_unique<Engine>(true, nullptr, bound->folder.path(), services);
    Engine& engine = *bound->engine;
    Show show = engine.show();
    show.outputScreens = {kFirst};
    show.cues.clear();
    for (const QString& clip : clips) {
        Cue cue;
        cue.name = QStringLiteral("闪光 %1").arg(show.cues.size() + 1);
        cue.main = QUrl::fromLocalFile(clip);
        cue.videoAudio = true;
        show.cues << cue;
    }
    engine.setShow(show);
    bound->boundAt = std::chrono::steady_clock::now();
    engine.bind(kFirst, engine.displays().at(1).number);
    EXPECT_TRUE(waitUntil([&] { return (bound->window = outputWindowOf(kFirst)) != nullptr; }));
    return bound;
}

// What one GO (or several) gave: where the program put the flashes it presented, where the beeps were heard.
struct Watched
{
    std::vector<Time> flashes;
    std::vector<Time> beeps;
    Time go;
    // How late the drawing was on this machine, for the log.
    double latestSwap = 0;

    FlashBeeps::Start compared(Time from, Time until) const
    {
        std::vector<Time> within;
        std::copy_if(flashes.cbegin(), flashes.cend(), std::back_inserter(within),
                     [&](Time flash) { return flash >= from && flash <= until; });
        return FlashBeeps::compare(within, beeps);
    }
    double firstBeepAfterGo() const
    {
        const auto first = std::find_if(beeps.cbegin(), beeps.cend(), [&](Time beep) { return beep > go; });
        return first == beeps.cend() ? -1 : msBetween(go, *first);
    }
};

// A show whose one cue plays a clip that flashes and beeps together once a second, with its own sound, on 屏幕 1
// bound to the 1920 x 1080 display; the players' sound goes to a PulseAudio server of the test's own.
class SoundStart : public ::testing::Test
{
  protected:
    // One server for the whole program: GStreamer's sound sinks keep their connection to the first for the process.
    static void SetUpTestSuite()
    {
        s_sound = new PrivateSoundServer;
        if (!s_sound->start(s_why))
            return;
        s_sound->useInThisProcess();
        SoundOutput::shared().choose(SoundSink::device);
    }
    static void TearDownTestSuite()
    {
        SoundOutput::shared().choose(SoundSink::silent);
        delete s_sound;
        s_sound = nullptr;
    }
    void SetUp() override
    {
        if (!s_why.isEmpty())
            GTEST_SKIP() << "no sound server to listen to: " << s_why.toStdString();
        m_clip = MediaFixtures::flashBeepVideo(kSecondsWatched + 3);
    }

    // GO on a fresh engine with the screen's mapping; what was presented and heard for kSecondsWatched. A cue loaded
    // by its GO opens its sound stream as the sound server stops answering for a while, so that it loads for longer
    // than its start's lead. A prepared cue is the second of the show, made ready while the first (a still) stands for
    // a while. A paused cue is resumed as the sink sleeps, and the sink wakes a while after: the sound comes back late.
    enum class Start { loadedByGo, prepared, pausedAndResumed };
    Watched goAndWatch(const ProjectorMapping& mapping, Start how = Start::loadedByGo)
    {
        const bool prepared = how == Start::prepared;
        QTemporaryDir folder;
        Engine::Services services;
        services.displays = std::make_shared<ScreenDisplayProvider>();
        services.windows = std::make_shared<ScreenOutputWindows>();
        services.players = defaultPlayerFactory();
        Engine engine(true, nullptr, folder.path(), services);
        Cue cue;
        cue.name = QStringLiteral("闪光");
        cue.main = QUrl::fromLocalFile(m_clip);
        cue.videoAudio = true;
        Show show = engine.show();
        show.outputScreens = {kFirst};
        show.defaultPicture = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, Qt::black));
        Cue still;
        still.name = QStringLiteral("黑场");
        still.main = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, Qt::black));
        show.cues = prepared ? QList<Cue>{still, cue} : QList<Cue>{cue};
        engine.setShow(show);
        engine.setMapping(mapping, kFirst);
        engine.bind(kFirst, engine.displays().at(1).number);
        ScreenOutputWindow* window = nullptr;
        EXPECT_TRUE(waitUntil([&] { return (window = outputWindowOf(kFirst)) != nullptr; }));
        // The cue's video is loaded by the GO itself, as it is for the first cue of a show.
        EXPECT_TRUE(waitUntil([&] { return window && window->swaps() > 0; }));
        if (!window)
            return {};
        bool recording = false;
        const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->record(&recording);
        EXPECT_TRUE(recording) << "parec records nothing";
        const PresentedFlashes presented(window);
        if (prepared) {
            engine.take(engine.show().cues.first());
            // Long enough for the clip to be made ready, and for a sound stream opened then to have waited a while.
            runEvents(2000);
        }

        if (how == Start::loadedByGo)
            s_sound->stopAnswering();
        engine.take(engine.show().cues.last());
        Watched watched;
        watched.go = std::chrono::steady_clock::now();
        if (how == Start::loadedByGo) {
            runUntil(watched.go, kServerHeldUp);
            s_sound->answerAgain();
        }
        if (how == Start::pausedAndResumed) {
            runUntil(watched.go, 2.5);
            engine.togglePause();
            QString why;
            EXPECT_TRUE(s_sound->sleepSink(why)) << why.toStdString();
            runUntil(watched.go, 3.5);
            m_resumedAt = std::chrono::steady_clock::now();
            engine.togglePause();
            runUntil(m_resumedAt, kAsleepAfterResume);
            EXPECT_TRUE(s_sound->wakeSink(why)) << why.toStdString();
        }
        runUntil(watched.go, kSecondsWatched + (how == Start::pausedAndResumed ? 2 : 0));
        const std::vector<qint16> heard = sound->stop();
        const Time stopped = std::chrono::steady_clock::now();
        engine.stop(true);
        runEvents(300);
        watched.flashes = presented.onsets(watched.go, stopped - kBeepHeard);
        watched.beeps = FlashBeeps::beepOnsets(heard, [&](std::size_t sample) { return sound->playedAt(sample); },
                                                           PrivateSoundServer::kRate);
        watched.latestSwap = presented.latestSwap(watched.go, stopped);
        return watched;
    }

    // Every beep is as far from the next as the clip has them, none is missing, and each flash comes with its beep:
    // the sound neither started late nor was cut or repeated to catch up.
    static void expectTogether(const Watched& watched)
    {
        const FlashBeeps::Start start = watched.compared(watched.go, Time::max());
        const std::string measured = "beep minus flash (ms):" + listed(start.offsets) +
                                     "; beeps apart (ms):" + listed(start.beepIntervals) +
                                     QString::asprintf("; first beep %.0f ms after GO; frames drawn up to %.0f ms late",
                                                       watched.firstBeepAfterGo(), watched.latestSwap)
                                         .toStdString();
        std::cout << measured << std::endl;
        ASSERT_GE(start.offsets.size(), std::size_t(kSecondsWatched - 1)) << "flashes presented; " << measured;
        EXPECT_EQ(start.beeps, int(start.offsets.size())) << "beeps heard for the flashes; " << measured;
        for (std::size_t i = 0; i < start.beepIntervals.size(); ++i)
            EXPECT_NEAR(start.beepIntervals[i], 1000, kSpacingTolerance)
                << "beeps " << i + 1 << " and " << i + 2 << "; " << measured;
        expectEveryBeepWithItsFlash(start, measured);
    }

    // Each flash has its beep: the first within what the start allows, every later one close to it.
    static void expectEveryBeepWithItsFlash(const FlashBeeps::Start& start, const std::string& measured)
    {
        for (std::size_t i = 0; i < start.offsets.size(); ++i) {
            if (!start.offsets[i]) {
                ADD_FAILURE() << "no beep within half a second of flash " << i + 1 << "; " << measured;
                continue;
            }
            EXPECT_NEAR(*start.offsets[i], 0, i == 0 ? kFirstFlashTolerance : kTogetherTolerance)
                << "flash " << i + 1 << "; " << measured;
        }
    }

    static inline PrivateSoundServer* s_sound = nullptr;
    static inline QString s_why;
    QString m_clip;
    Time m_resumedAt;
};

} // namespace

TEST_F(SoundStart, ThePlainOutputsSoundStartsWithItsFirstFlashAndLosesNoBeep)
{
    expectTogether(goAndWatch(ProjectorMapping{}));
}

TEST_F(SoundStart, TheCurvedOutputsSoundStartsWithItsFirstFlashAndLosesNoBeep)
{
    expectTogether(goAndWatch(curvedMapping()));
}

// A clip made ready long before its GO shows its first picture at once; its motion and its sound then start
// together, the sound from its start rather than after the time its stream waited.
TEST_F(SoundStart, APreparedClipsSoundStartsWithItsMotionNotAfterTheTimeItWaited)
{
    const Watched watched = goAndWatch(ProjectorMapping{}, Start::prepared);
    EXPECT_GT(watched.firstBeepAfterGo(), 0);
    EXPECT_LT(watched.firstBeepAfterGo(), 400) << "the common start's lead and the device's own";
    // The first frame went up at GO; the motion after it puts the first second where the sound's starts.
    expectTogether(watched);
}

// After a pause the sound comes back where the picture is: the device starts again with the lag it had.
TEST_F(SoundStart, AfterAPauseSoundAndPictureGoOnTogether)
{
    const Watched watched = goAndWatch(ProjectorMapping{}, Start::pausedAndResumed);
    const FlashBeeps::Start before = watched.compared(watched.go, m_resumedAt);
    const FlashBeeps::Start resumed = watched.compared(m_resumedAt, Time::max());
    {
        std::vector<double> b, f;
        for (Time t : watched.beeps) b.push_back(msBetween(m_resumedAt, t));
        for (Time t : watched.flashes) f.push_back(msBetween(m_resumedAt, t));
        std::cout << "DEBUG beeps" << listed(b) << " flashes" << listed(f) << std::endl;
    }
    const std::string measured = "beep minus flash (ms): before the pause" + listed(before.offsets) +
                                 ", after it" + listed(resumed.offsets) +
                                 QString::asprintf("; frames drawn up to %.0f ms late", watched.latestSwap).toStdString();
    std::cout << measured << std::endl;
    ASSERT_GE(before.offsets.size(), 2u) << "flashes presented before the pause; " << measured;
    ASSERT_GE(resumed.offsets.size(), std::size_t(kSecondsWatched - 5)) << "flashes presented after it; " << measured;
    for (std::size_t i = 0; i < resumed.offsets.size(); ++i) {
        ASSERT_TRUE(resumed.offsets[i]) << "no beep within half a second of flash " << i + 1 << " after the pause; "
                                        << measured;
        EXPECT_NEAR(*resumed.offsets[i], 0, kTogetherTolerance)
            << "flash " << i + 1 << " after the pause; " << measured;
    }
}

// The first cue of a fresh engine, taken at any time after its screen is bound, starts with its sound: the first
// beep with the first flash and every one after, none missing. (It is loaded by its GO; the sound server's clock of a
// stream opened shortly before runs on its own meanwhile.)
TEST_F(SoundStart, TheFirstCueOfAFreshEngineStartsWithItsSoundWhateverTheTimeSinceBinding)
{
    bool recording = false;
    const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->record(&recording);
    ASSERT_TRUE(recording) << "parec records nothing";
    struct Run
    {
        double delay;
        Watched watched;
    };
    std::vector<Run> runs;
    for (const double delay : {0.5, 1.3, 1.7, 2.3, 4.0}) {
        // As in a process just started: no lag of a sound device measured yet.
        SoundLag::forget();
        const std::unique_ptr<BoundShow> show = bindFreshShow({m_clip});
        ASSERT_TRUE(show->window);
        const PresentedFlashes presented(show->window);
        runUntil(show->boundAt, delay);
        show->engine->go();
        Watched watched;
        watched.go = std::chrono::steady_clock::now();
        runUntil(watched.go, kSecondsPerGo);
        watched.flashes = presented.onsets(watched.go, after(watched.go, kSecondsPerGo) - kBeepHeard);
        watched.latestSwap = presented.latestSwap(watched.go, after(watched.go, kSecondsPerGo));
        show->engine->stop(true);
        runEvents(300);
        runs.push_back({delay, watched});
    }
    const std::vector<qint16> heard = sound->stop();
    const std::vector<Time> beeps = FlashBeeps::beepOnsets(heard, [&](std::size_t sample) { return sound->playedAt(sample); },
                                                           PrivateSoundServer::kRate);
    for (Run& run : runs) {
        run.watched.beeps = beeps;
        const FlashBeeps::Start start = run.watched.compared(run.watched.go, Time::max());
        const std::string measured =
            QString::asprintf("GO %.1f s after binding: beep minus flash (ms):", run.delay).toStdString() +
            listed(start.offsets) + QString::asprintf("; frames drawn up to %.0f ms late", run.watched.latestSwap).toStdString();
        std::cout << measured << std::endl;
        EXPECT_GE(start.offsets.size(), std::size_t(kSecondsPerGo)) << "flashes presented; " << measured;
        expectEveryBeepWithItsFlash(start, measured);
    }
}

// A cue GO'd a moment after the one before was taken, made ready meanwhile while that one plays: its motion and its
// sound start together.
TEST_F(SoundStart, ACueTakenJustAfterTheOneBeforeStartsWithItsSound)
{
    bool recording = false;
    const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->record(&recording);
    ASSERT_TRUE(recording) << "parec records nothing";
    SoundLag::forget();
    // The cue before flashes and beeps half a second into each second: nothing of it comes with the next cue's start.
    const QString before = MediaFixtures::flashBeepVideo(kSecondsWatched + 3, {1920, 1080}, 0.5);
    const std::unique_ptr<BoundShow> show = bindFreshShow({before, m_clip});
    ASSERT_TRUE(show->window);
    const PresentedFlashes presented(show->window);
    runUntil(show->boundAt, 1);
    show->engine->go();
    runUntil(std::chrono::steady_clock::now(), 0.3);
    show->engine->go();
    Watched watched;
    watched.go = std::chrono::steady_clock::now();
    runUntil(watched.go, kSecondsPerGo + 1);
    const std::vector<qint16> heard = sound->stop();
    const Time stopped = std::chrono::steady_clock::now();
    show->engine->stop(true);
    runEvents(300);
    watched.flashes = presented.onsets(watched.go, stopped - kBeepHeard);
    watched.beeps = FlashBeeps::beepOnsets(heard, [&](std::size_t sample) { return sound->playedAt(sample); },
                                                           PrivateSoundServer::kRate);
    watched.latestSwap = presented.latestSwap(watched.go, stopped);
    const FlashBeeps::Start start = watched.compared(watched.go, Time::max());
    {
        std::vector<double> b, f;
        for (Time t : watched.beeps) b.push_back(msBetween(watched.go, t));
        for (Time t : watched.flashes) f.push_back(msBetween(watched.go, t));
        std::cout << "DEBUG beeps" << listed(b) << " flashes" << listed(f) << std::endl;
    }
    const std::string measured = "second cue: beep minus flash (ms):" + listed(start.offsets) +
                                 QString::asprintf("; frames drawn up to %.0f ms late", watched.latestSwap).toStdString();
    std::cout << measured << std::endl;
    ASSERT_GE(start.offsets.size(), std::size_t(kSecondsPerGo)) << "flashes presented; " << measured;
    expectEveryBeepWithItsFlash(start, measured);
}

// A device that begins to play long after the sink started it (here a sink put to sleep until 1.3 s after the cue's
// pictures began) is not followed for the whole cue: its sound is brought back to the pictures once its clock shows
// where it plays, and from then on every beep comes with its flash. Meanwhile the pictures keep their pace: they
// neither wait for the silent device nor jump when it plays.
TEST_F(SoundStart, ASoundThatBeginsLateIsBroughtBackToThePictures)
{
    constexpr double kWatched = 9;
    // Neither a whole second nor near one: a sound left this late misses every flash by some 300 ms.
    constexpr double kAsleep = 1.3;
    const std::unique_ptr<BoundShow> show = bindFreshShow({m_clip});
    ASSERT_TRUE(show->window);
    EXPECT_TRUE(waitUntil([&] { return show->window->swaps() > 0; }));
    const PresentedFlashes presented(show->window);
    QString why;
    ASSERT_TRUE(s_sound->sleepSink(why)) << why.toStdString();
    const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->recordTheSleepingSink();
    show->engine->go();
    Watched watched;
    watched.go = std::chrono::steady_clock::now();
    // The sink wakes a set time after the first flash fell due.
    ASSERT_TRUE(waitUntil([&] { return !presented.onsets(watched.go, Time::max()).empty(); }))
        << "no picture of the cue presented";
    const Time firstFlash = presented.onsets(watched.go, Time::max()).front();
    runUntil(firstFlash, kAsleep);
    const Time woken = std::chrono::steady_clock::now();
    ASSERT_TRUE(s_sound->wakeSink(why)) << why.toStdString();
    runUntil(watched.go, kWatched);
    const std::vector<qint16> heard = sound->stop();
    const Time stopped = std::chrono::steady_clock::now();
    show->engine->stop(true);
    runEvents(300);
    watched.flashes = presented.onsets(watched.go, stopped - kBeepHeard);
    watched.beeps = FlashBeeps::beepOnsets(heard, [&](std::size_t sample) { return sound->playedAt(sample); },
                                                           PrivateSoundServer::kRate);
    watched.latestSwap = presented.latestSwap(watched.go, stopped);
    ASSERT_FALSE(watched.beeps.empty()) << "nothing heard";
    std::cout << "the sink woke " << msBetween(firstFlash, woken) << " ms after the first flash; first beep "
              << msBetween(firstFlash, watched.beeps.front()) << " ms after it" << std::endl;
    ASSERT_GE(watched.beeps.front(), woken - 50ms) << "the sleeping sink played";
    {
        std::vector<double> b, f;
        for (Time t : watched.beeps) b.push_back(msBetween(firstFlash, t));
        for (Time t : watched.flashes) f.push_back(msBetween(firstFlash, t));
        std::cout << "DEBUG beeps" << listed(b) << " flashes" << listed(f) << std::endl;
    }
    // The last three seconds watched.
    const FlashBeeps::Start start = watched.compared(watched.flashes.size() > 3 ? watched.flashes.end()[-3] : watched.go, Time::max());
    const std::string measured = "the last three seconds: beep minus flash (ms):" + listed(start.offsets) +
                                 QString::asprintf("; frames drawn up to %.0f ms late", watched.latestSwap).toStdString();
    std::cout << measured << std::endl;
    ASSERT_EQ(start.offsets.size(), 3u) << measured;
    for (std::size_t i = 0; i < start.offsets.size(); ++i) {
        ASSERT_TRUE(start.offsets[i]) << "no beep within half a second of flash " << i + 1 << "; " << measured;
        EXPECT_NEAR(*start.offsets[i], 0, kTogetherTolerance) << "flash " << i + 1 << "; " << measured;
    }
    std::vector<double> apart;
    for (std::size_t i = 1; i < watched.flashes.size(); ++i)
        apart.push_back(msBetween(watched.flashes[i - 1], watched.flashes[i]));
    for (std::size_t i = 0; i < apart.size(); ++i)
        EXPECT_NEAR(apart[i], 1000, kPaceTolerance)
            << "flashes " << i + 1 << " and " << i + 2 << "; apart (ms):" << listed(apart);
}

#include "bentmesh.h"
#include "engine.h"
#include "eventwait.h"
#include "flashbeeps.h"
#include "heldsoundsink.h"
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
#include <cmath>
#include <gtest/gtest.h>
#include <iostream>

using namespace std::chrono_literals;

namespace {

using Time = FlashBeeps::Time;

const ScreenRole kFirst{QStringLiteral("屏幕 1")};
// Seconds of the clip heard and seen after GO.
constexpr int kSecondsWatched = 7;
// The beeps are found in the recording to the sample: sound cut or repeated shows as milliseconds off a second. The
// sound's drift from the host clock is corrected ten milliseconds or so at a time; seconds cut to catch up are far
// more, and a beep lost is a second.
constexpr double kSpacingTolerance = 25;
// How far a beep may lie from its flash. The flash counts where the program put it, the sound's lag included, however
// late a busy machine draws it; the beep where the sound server played it. The recording is timed to a couple of
// milliseconds, but the lag pictures wait for is read off the sound server's clock, which may run fast or slow by
// some 25 ms for the first seconds of a stream. A sound that starts late or comes back apart from a pause lies some
// hundreds of milliseconds away, a start that lost its beginning has no beep at all.
constexpr double kTogetherTolerance = 50;
// The first flash of a start falls due before the sound plays at pace, with the lag the sound had before: a sound
// server slow to start on a busy machine puts the first beep a few dozen milliseconds later than that.
constexpr double kStartTolerance = 100;
// How long the first sound of a cue loaded by its GO is held back as its stream opens: far longer than the lead its
// start is set ahead, so that a start that does not wait for the load begins without it.
constexpr auto kOpeningHeld = 500ms;
// Seconds of each cue watched after its GO where several are: a lag the sound starts with stays for the whole cue.
constexpr double kSecondsPerGo = 3.3;
// How far from the first flash's whole seconds a flash may fall due while a late sound is found and brought back:
// pictures wait for a device's lag of up to a quarter of a second, and may move that much as they find it on a busy
// machine; waiting for the silent device, or jumping to where it plays, moves them by all of its 1.3 s.
constexpr double kPaceTolerance = 250;
// The last flash watched comes with the time for its beep to be heard.
constexpr auto kBeepHeard = 600ms;
// How much longer a watch goes on where a busy machine drew no frame near some seconds of the clip.
constexpr int kLongerWatchMs = 3000;

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
    return from +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
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

Cue flashCue(const QString& clip)
{
    Cue cue;
    cue.name = QStringLiteral("闪光");
    cue.main = QUrl::fromLocalFile(clip);
    cue.videoAudio = true;
    return cue;
}

Cue stillCue()
{
    Cue still;
    still.name = QStringLiteral("黑场");
    still.main = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, Qt::black));
    return still;
}

// Runs the event loop until `until`, and on until `flashes` flashes from `from` on (whose beeps had the time to be
// heard) were presented, for a few seconds at most.
void watchUntilPresented(const PresentedFlashes& presented, Time from, Time until, std::size_t flashes)
{
    waitUntil([&] { return std::chrono::steady_clock::now() >= until; },
              int(msBetween(std::chrono::steady_clock::now(), until)) + 10000);
    waitUntil([&] { return presented.onsets(from, std::chrono::steady_clock::now() - kBeepHeard).size() >= flashes; },
              kLongerWatchMs);
}

// A fresh engine whose show is the cues given, 屏幕 1 bound to the 1920 x 1080 display with the mapping.
struct BoundShow
{
    QTemporaryDir folder;
    std::unique_ptr<Engine> engine;
    ScreenOutputWindow* window = nullptr;
    Time boundAt;
};

std::unique_ptr<BoundShow> bindFreshShow(const QList<Cue>& cues, const ProjectorMapping& mapping = {})
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
    show.defaultPicture = QUrl::fromLocalFile(MediaFixtures::png({64, 36}, Qt::black));
    show.cues = cues;
    engine.setShow(show);
    engine.setMapping(mapping, kFirst);
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
    // Ends the watch of a show: what the recording heard, and the flashes presented from GO until a beep had the time
    // to be heard before the recording stopped.
    void finish(BoundShow& show, const PresentedFlashes& presented, PrivateSoundServer::Recording& sound)
    {
        const std::vector<qint16> heard = sound.stop();
        const Time stopped = std::chrono::steady_clock::now();
        show.engine->stop(true);
        runEvents(300);
        flashes = presented.onsets(go, stopped - kBeepHeard);
        beeps = FlashBeeps::beepOnsets(
            heard, [&](std::size_t sample) { return sound.playedAt(sample); }, PrivateSoundServer::kRate);
        latestSwap = presented.latestSwap(go, stopped);
    }
    std::string told(const FlashBeeps::Start& start) const
    {
        return "beep minus flash (ms):" + listed(start.offsets) +
               QString::asprintf("; frames drawn up to %.0f ms after they fell due", latestSwap).toStdString();
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
        if (!HeldSoundSink::install()) {
            s_why = QStringLiteral("GStreamer's pulsesink is missing (Debian: gstreamer1.0-plugins-good)");
            return;
        }
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

    // GO on a fresh engine with the screen's mapping; what was presented and heard for kSecondsWatched. The cue is the
    // second of the show, after a still. Taken at once, it is loaded by its GO, and its sound device is slow to open,
    // so that it loads for longer than its start's lead. A prepared cue is made ready while the still stands for a
    // while. A paused cue is paused in the middle of a second (so that no flash is cut in two) and resumed a second
    // later.
    enum class Start { loadedByGo, prepared, pausedAndResumed };
    Watched goAndWatch(const ProjectorMapping& mapping, Start how = Start::loadedByGo)
    {
        const std::unique_ptr<BoundShow> show = bindFreshShow({stillCue(), flashCue(m_clip)}, mapping);
        Engine& engine = *show->engine;
        EXPECT_TRUE(waitUntil([&] { return show->window && show->window->swaps() > 0; }));
        if (!show->window)
            return {};
        bool recording = false;
        const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->record(&recording);
        EXPECT_TRUE(recording) << "parec records nothing";
        const PresentedFlashes presented(show->window);
        if (how == Start::prepared) {
            engine.take(engine.show().cues.first());
            // Long enough for the clip to be made ready, and for a sound stream opened then to have waited a while.
            runEvents(2000);
        }

        if (how == Start::loadedByGo)
            HeldSoundSink::holdNextOpening(kOpeningHeld);
        engine.take(engine.show().cues.last());
        Watched watched;
        watched.go = std::chrono::steady_clock::now();
        if (how == Start::pausedAndResumed) {
            // Where the clip stands by the program's own time, whenever a busy machine draws it.
            EXPECT_TRUE(waitUntil([&] { return !presented.onsets(watched.go, Time::max()).empty(); }));
            runUntil(presented.onsets(watched.go, Time::max()).front(), 2.5);
            engine.togglePause();
            runUntil(std::chrono::steady_clock::now(), 1);
            m_resumedAt = std::chrono::steady_clock::now();
            engine.togglePause();
        }
        watchUntilPresented(presented, watched.go,
                            after(watched.go, kSecondsWatched + (how == Start::pausedAndResumed ? 1 : 0)),
                            kSecondsWatched - 1);
        watched.finish(*show, presented, *sound);
        return watched;
    }

    // Every beep is as far from the next as the clip has them, none is missing, and each flash comes with its beep:
    // the sound neither started late nor was cut or repeated to catch up.
    static void expectTogether(const Watched& watched)
    {
        const FlashBeeps::Start start = watched.compared(watched.go, Time::max());
        const std::string measured =
            watched.told(start) + "; beeps apart (ms):" + listed(start.beepIntervals) +
            QString::asprintf("; first beep %.0f ms after GO", watched.firstBeepAfterGo()).toStdString();
        std::cout << measured << std::endl;
        ASSERT_GE(start.offsets.size(), std::size_t(kSecondsWatched - 2)) << "flashes presented; " << measured;
        expectBeepsASecondApart(start.beepIntervals, measured);
        expectEveryBeepWithItsFlash(start, measured, Judged::fromTheStart);
    }

    // None lost, none cut or repeated.
    static void expectBeepsASecondApart(const std::vector<double>& intervals, const std::string& measured)
    {
        for (std::size_t i = 0; i < intervals.size(); ++i)
            EXPECT_NEAR(intervals[i], 1000, kSpacingTolerance)
                << "beeps " << i + 1 << " and " << i + 2 << "; " << measured;
    }

    enum class Judged { fromTheStart, playing };
    static void expectEveryBeepWithItsFlash(const FlashBeeps::Start& start, const std::string& measured, Judged judged)
    {
        for (std::size_t i = 0; i < start.offsets.size(); ++i) {
            const double tolerance = i == 0 && judged == Judged::fromTheStart ? kStartTolerance : kTogetherTolerance;
            if (!start.offsets[i])
                ADD_FAILURE() << "no beep within half a second of flash " << i + 1 << "; " << measured;
            else
                EXPECT_NEAR(*start.offsets[i], 0, tolerance) << "flash " << i + 1 << "; " << measured;
        }
    }

    static inline PrivateSoundServer* s_sound = nullptr;
    static inline QString s_why;
    QString m_clip;
    Time m_resumedAt;
};

} // namespace

// A clip loaded by its GO, for longer than its start's lead (its sound device is slow to open), starts with its sound:
// the start waits for the load, and the first beep comes with the first flash.
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
    // The first frame went up at GO; the motion after it places the first second where its beep belongs.
    expectTogether(watched);
}

// After a pause the sound comes back where the picture is: the device starts again with the lag it had.
TEST_F(SoundStart, AfterAPauseSoundAndPictureGoOnTogether)
{
    const Watched watched = goAndWatch(ProjectorMapping{}, Start::pausedAndResumed);
    const FlashBeeps::Start start = watched.compared(watched.go, Time::max());
    const std::size_t beforePause = std::size_t(std::count_if(watched.flashes.cbegin(), watched.flashes.cend(),
                                                              [&](Time flash) { return flash < m_resumedAt; }));
    const std::string measured =
        watched.told(start) + ", the first " + std::to_string(beforePause) + " before the pause";
    std::cout << measured << std::endl;
    ASSERT_GE(beforePause, 2u) << "flashes presented before the pause; " << measured;
    ASSERT_GE(start.offsets.size() - beforePause, 2u) << "flashes presented after it; " << measured;
    // On either side of the pause, each beep a second from the one before.
    std::vector<double> beforeIntervals, afterIntervals;
    for (std::size_t i = 1; i < watched.beeps.size(); ++i) {
        const bool before = watched.beeps[i] < m_resumedAt;
        if (before == (watched.beeps[i - 1] < m_resumedAt))
            (before ? beforeIntervals : afterIntervals).push_back(msBetween(watched.beeps[i - 1], watched.beeps[i]));
    }
    expectBeepsASecondApart(beforeIntervals, measured);
    expectBeepsASecondApart(afterIntervals, measured);
    expectEveryBeepWithItsFlash(start, measured, Judged::fromTheStart);
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
        // As in a process just started: no lag of a sound device measured yet. The device is slow to open: the cue
        // loads for longer than its start's lead.
        SoundLag::forget();
        HeldSoundSink::holdNextOpening(kOpeningHeld);
        const std::unique_ptr<BoundShow> show = bindFreshShow({flashCue(m_clip)});
        ASSERT_TRUE(show->window);
        const PresentedFlashes presented(show->window);
        runUntil(show->boundAt, delay);
        show->engine->go();
        Watched watched;
        watched.go = std::chrono::steady_clock::now();
        watchUntilPresented(presented, watched.go, after(watched.go, kSecondsPerGo), 3);
        const Time stopped = std::chrono::steady_clock::now();
        watched.flashes = presented.onsets(watched.go, stopped - kBeepHeard);
        watched.latestSwap = presented.latestSwap(watched.go, stopped);
        show->engine->stop(true);
        runEvents(300);
        runs.push_back({delay, watched});
    }
    const std::vector<qint16> heard = sound->stop();
    const std::vector<Time> beeps = FlashBeeps::beepOnsets(
        heard, [&](std::size_t sample) { return sound->playedAt(sample); }, PrivateSoundServer::kRate);
    for (Run& run : runs) {
        run.watched.beeps = beeps;
        const FlashBeeps::Start start = run.watched.compared(run.watched.go, Time::max());
        const std::string measured =
            QString::asprintf("GO %.1f s after binding: ", run.delay).toStdString() + run.watched.told(start);
        std::cout << measured << std::endl;
        EXPECT_GE(start.offsets.size(), 2u) << "flashes presented; " << measured;
        expectEveryBeepWithItsFlash(start, measured, Judged::fromTheStart);
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
    const std::unique_ptr<BoundShow> show = bindFreshShow({flashCue(before), flashCue(m_clip)});
    ASSERT_TRUE(show->window);
    const PresentedFlashes presented(show->window);
    runUntil(show->boundAt, 1);
    show->engine->go();
    runUntil(std::chrono::steady_clock::now(), 0.3);
    show->engine->go();
    Watched watched;
    watched.go = std::chrono::steady_clock::now();
    watchUntilPresented(presented, watched.go, after(watched.go, kSecondsPerGo + 1), 4);
    watched.finish(*show, presented, *sound);
    const FlashBeeps::Start start = watched.compared(watched.go, Time::max());
    const std::string measured = "second cue: " + watched.told(start);
    std::cout << measured << std::endl;
    ASSERT_GE(start.offsets.size(), 3u) << "flashes presented; " << measured;
    expectBeepsASecondApart(start.beepIntervals, measured);
    expectEveryBeepWithItsFlash(start, measured, Judged::fromTheStart);
}

// A device that begins to play long after the sink started it (here a sink asleep until 1.3 s after the cue's first
// picture) is not followed for the whole cue: its sound is brought back to the pictures once its clock shows where it
// plays, and from then on every beep comes with its flash. Meanwhile the pictures keep their pace: they neither wait
// for the silent device nor jump when it plays. (The sound server's clock runs on by itself while the device plays
// nothing, then stands still until the sound catches up with it: that shows where the sound plays some two and a
// half times the time it was late after it began.)
TEST_F(SoundStart, ASoundThatBeginsLateIsBroughtBackToThePictures)
{
    constexpr double kWatched = 9;
    // Neither a whole second nor near one: a sound left this late misses every flash by some 300 ms.
    constexpr double kAsleep = 1.3;
    // Seconds after the first flash from which flashes are judged: the sound is back by then.
    constexpr double kJudgedFrom = 5.5;
    const std::unique_ptr<BoundShow> show = bindFreshShow({flashCue(m_clip)});
    ASSERT_TRUE(show->window);
    EXPECT_TRUE(waitUntil([&] { return show->window->swaps() > 0; }));
    const PresentedFlashes presented(show->window);
    QString why;
    ASSERT_TRUE(s_sound->sleepSink(why)) << why.toStdString();
    const std::unique_ptr<PrivateSoundServer::Recording> sound = s_sound->recordTheSleepingSink();
    show->engine->go();
    Watched watched;
    watched.go = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitUntil([&] { return !presented.onsets(watched.go, Time::max()).empty(); }))
        << "no picture of the cue presented";
    const Time firstFlash = presented.onsets(watched.go, Time::max()).front();
    runUntil(firstFlash, kAsleep);
    const Time woken = std::chrono::steady_clock::now();
    ASSERT_TRUE(s_sound->wakeSink(why)) << why.toStdString();
    watchUntilPresented(presented, after(firstFlash, kJudgedFrom), after(watched.go, kWatched), 3);
    watched.finish(*show, presented, *sound);
    ASSERT_FALSE(watched.beeps.empty()) << "nothing heard";
    // Where every beep and flash came, for the log.
    std::vector<double> heard, seen;
    for (const Time beep : watched.beeps)
        heard.push_back(msBetween(firstFlash, beep));
    for (const Time flash : watched.flashes)
        seen.push_back(msBetween(firstFlash, flash));
    std::cout << QString::asprintf("the sink woke %.0f ms after the first flash; ms after it, beeps:",
                                   msBetween(firstFlash, woken))
                     .toStdString()
              << listed(heard) << "; flashes:" << listed(seen) << std::endl;
    ASSERT_GE(watched.beeps.front(), woken - 50ms) << "the sleeping sink played";
    // The last three seconds watched.
    const FlashBeeps::Start start = watched.compared(after(firstFlash, kJudgedFrom), Time::max());
    const std::string measured = "the last three seconds: " + watched.told(start);
    std::cout << measured << std::endl;
    ASSERT_GE(start.offsets.size(), 2u) << "flashes presented; " << measured;
    expectEveryBeepWithItsFlash(start, measured, Judged::playing);
    // Each flash where the first one's second puts it.
    std::vector<double> offGrid;
    for (const Time flash : watched.flashes) {
        const double sinceFirst = msBetween(firstFlash, flash);
        offGrid.push_back(sinceFirst - 1000 * std::round(sinceFirst / 1000));
    }
    for (std::size_t i = 0; i < offGrid.size(); ++i)
        EXPECT_NEAR(offGrid[i], 0, kPaceTolerance) << "flash " << i + 1 << "; off its second (ms):" << listed(offGrid);
}

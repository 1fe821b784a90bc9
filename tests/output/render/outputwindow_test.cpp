#include "eventwait.h"
#include "fakeplayer.h"
#include "hangguard.h"
#include "mappedoutput.h"
#include "mediafixtures.h"
#include "meshfixtures.h"
#include "picture.h"
#include "pictureview.h"
#include "screenoutputsource.h"
#include "screenoutputwindow.h"
#include "threadnice.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QScreen>
#include <QSet>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <mutex>
#include <pthread.h>
#include <thread>

using namespace std::chrono_literals;

namespace {

const ScreenRole kScreen{QStringLiteral("屏幕 1")};
const QRect kGeometry(0, 0, 320, 180);

// One screen whose picture, mapping and test pattern a test sets.
class OneScreen : public ScreenOutputSource
{
  public:
    explicit OneScreen(const PlayerFactory& players = fakePlayers()) : picture(new Picture(players, this)) {}
    Picture* program(const ScreenRole& role) const override { return role == kScreen ? picture : nullptr; }
    ProjectorMapping mapping(const ScreenRole&) const override { return m_mapping; }
    bool testPattern() const override { return m_pattern; }
    void setMapping(const ProjectorMapping& mapping)
    {
        m_mapping = mapping;
        emit changed();
    }
    void setTestPattern(bool on)
    {
        m_pattern = on;
        emit changed();
    }

    Picture* picture;

  private:
    ProjectorMapping m_mapping;
    bool m_pattern = false;
};

// What each swap of a window showed, noted on its render thread.
struct Swaps
{
    void watch(ScreenOutputWindow& window)
    {
        QObject::connect(
            &window, &ScreenOutputWindow::frameSwapped, &window,
            [this](double videoTime, qint64 dueNs, quint64 item) {
                std::scoped_lock hold(lock);
                shown.push_back({std::chrono::steady_clock::now(), videoTime});
                if (videoTime >= 0)
                    videoShown.push_back({videoTime, dueNs, item});
            },
            Qt::DirectConnection);
    }
    // The different video frames shown between the two times.
    int framesBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to)
    {
        std::scoped_lock hold(lock);
        QSet<qint64> frames;
        for (const auto& [at, time] : shown)
            if (at >= from && at <= to && time >= 0)
                frames.insert(qRound64(time * 1000));
        return int(frames.size());
    }
    int videoFrames() { return framesBetween({}, std::chrono::steady_clock::time_point::max()); }

    std::mutex lock;
    std::vector<std::pair<std::chrono::steady_clock::time_point, double>> shown;
    // Of each swap that showed video: the frame's media time, the host time it fell due (ns) and its item.
    struct Video
    {
        double time = 0;
        qint64 dueNs = -1;
        quint64 item = 0;
    };
    std::vector<Video> videoShown;
};

QImage filled(QColor colour, QSize size = {160, 90})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// What the X server shows of the window.
QImage onScreen(const ScreenOutputWindow& window, const QString& shot = {})
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(window.geometry());
    if (!shot.isEmpty())
        saveShot(image, shot);
    return image;
}

// What the X server shows on the 1920 × 1080 display.
QImage onSecondDisplay(const QString& shot = {})
{
    const QImage image = QGuiApplication::screens()[1]->grabWindow(0).toImage();
    if (!shot.isEmpty())
        saveShot(image, shot);
    return image;
}

// Where a line of the pattern crosses a row (or column) of the image, and its colour there.
QList<std::pair<int, QColor>> crossings(const QImage& image, int at, bool alongRow)
{
    QList<std::pair<int, QColor>> found;
    const int length = alongRow ? image.width() : image.height();
    for (int i = 0; i < length; ++i) {
        const QColor colour = alongRow ? image.pixelColor(i, at) : image.pixelColor(at, i);
        if (colour.blue() > 100)
            found.append({i, colour});
    }
    return found;
}

// Where the two images' lines differ by more than a pixel, or their colours by more than two levels; empty when
// they show the same lines.
QString lineDifference(const QImage& drawn, const QImage& painted, int at, bool alongRow)
{
    const QList<std::pair<int, QColor>> want = crossings(painted, at, alongRow);
    const QList<std::pair<int, QColor>> got = crossings(drawn, at, alongRow);
    const QString where = QStringLiteral("%1 %2: ").arg(alongRow ? "; row" : "; column").arg(at);
    if (want.size() < 10 || got.size() != want.size())
        return where + QStringLiteral("%1 lines, %2 painted").arg(got.size()).arg(want.size());
    for (qsizetype i = 0; i < want.size(); ++i)
        if (std::abs(got[i].first - want[i].first) > 1 || !near(got[i].second, want[i].second, 2))
            return where + QStringLiteral("line at %1 %2, painted at %3 %4")
                               .arg(got[i].first)
                               .arg(got[i].second.name())
                               .arg(want[i].first)
                               .arg(want[i].second.name());
    return {};
}

// Rows and columns across the whole output, near its edges too.
QString patternDifference(const QImage& drawn, const QImage& painted)
{
    QString difference;
    for (const int row : {300, 1000})
        difference += lineDifference(drawn, painted, row, true);
    for (const int column : {500, 1900})
        difference += lineDifference(drawn, painted, column, false);
    return difference;
}

// Transparent on the left half, opaque blue on the right.
QImage halfTransparent(QSize size = {160, 90})
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(size.width() / 2, 0, size.width() / 2, size.height(), Qt::blue);
    return image;
}

ProjectorMapping cropped(QRectF crop)
{
    ProjectorMapping mapping;
    mapping.enabled = true;
    mapping.crop = crop;
    return mapping;
}

} // namespace

class OutputWindows : public ::testing::Test
{
  protected:
    std::unique_ptr<ScreenOutputWindow> open(ScreenOutputSource& source, QRect geometry = kGeometry)
    {
        auto window =
            std::make_unique<ScreenOutputWindow>(&source, kScreen, QGuiApplication::primaryScreen(), geometry);
        EXPECT_TRUE(waitUntil([&] { return window->isExposed() && window->swaps() > 0; }));
        return window;
    }
    static FakePlayer* fake(Picture& picture) { return static_cast<FakePlayer*>(picture.player()); }

    // A window playing a 320 x 180 clip of the seconds given, each of its swaps watched.
    struct Playing
    {
        OneScreen screen{defaultPlayerFactory()};
        // Outlives the window, whose render thread reports into it until the window is gone.
        Swaps swaps;
        std::unique_ptr<ScreenOutputWindow> window;
    };
    std::unique_ptr<Playing> play(double seconds)
    {
        auto playing = std::make_unique<Playing>();
        Picture& picture = *playing->screen.picture;
        picture.load(QUrl::fromLocalFile(MediaFixtures::video({{320, 180}, seconds, 30})));
        EXPECT_TRUE(waitUntil([&] { return picture.player()->isReady(); }, 10000));
        playing->window = open(playing->screen);
        playing->swaps.watch(*playing->window);
        picture.player()->play();
        return playing;
    }
};

// The plain output (mapping off) fills the window with the picture in the colours the console's monitor paints.
TEST_F(OutputWindows, PlainStillMatchesThePaintedPicture)
{
    const QList<QColor> colours{QColor(200, 120, 40), QColor(30, 60, 90), QColor(250, 250, 250), QColor(90, 200, 140)};
    OneScreen screen;
    screen.picture->setImage(bands({160, 90}, colours));
    PictureView monitor(screen.picture, true);
    showOnScreen(monitor, kGeometry.size());
    const QImage painted = grabbed(monitor, "output-window-plain-painted");
    monitor.hide();
    auto window = open(screen);
    QImage drawn;
    ASSERT_TRUE(waitUntil([&] {
        drawn = onScreen(*window, "output-window-plain");
        return near(drawn.pixelColor(40, 90), colours[0], 2);
    }));
    for (int band = 0; band < 4; ++band) {
        const QPoint centre(40 + 80 * band, 90);
        EXPECT_TRUE(near(drawn.pixelColor(centre), painted.pixelColor(centre), 2)) << band;
    }
    EXPECT_TRUE(window->errorText().isEmpty());

    // The engine's test pattern reaches the window only through an enabled mapping.
    screen.setTestPattern(true);
    runEvents(200);
    EXPECT_TRUE(near(onScreen(*window).pixelColor(40, 90), colours[0], 2));
    screen.setMapping(cropped({0, 0, 1, 1}));
    EXPECT_TRUE(waitUntil([&] { return onScreen(*window, "output-window-pattern").pixelColor(40, 94) == Qt::black; }));
}

// A new size (a display's resolution changed) is drawn whole at once.
TEST_F(OutputWindows, FollowsANewSize)
{
    OneScreen screen;
    screen.picture->setImage(filled(Qt::red));
    auto window = open(screen);
    window->place(QRect(0, 0, 480, 270));
    EXPECT_TRUE(waitUntil([&] {
        const QImage image = onScreen(*window);
        return image.size() == QSize(480, 270) && image.pixelColor(470, 260) == Qt::red;
    }));
}

// Drawing never keeps the show's clock waiting: the render thread drops a real-time policy it inherits from the
// main thread and runs at a lower priority, even when it draws on every core.
TEST_F(OutputWindows, DrawsBelowTheMainThread)
{
    sched_param realTime{};
    realTime.sched_priority = 1;
    const bool realTimeMain = pthread_setschedparam(pthread_self(), SCHED_RR, &realTime) == 0;
    const auto plainAgain = qScopeGuard([] {
        const sched_param plain{};
        pthread_setschedparam(pthread_self(), SCHED_OTHER, &plain);
    });
    OneScreen screen;
    screen.picture->setImage(filled(Qt::red));
    auto window = open(screen);
    const QList<pid_t> renderThreads = ThreadNice::threadsNamed(QStringLiteral("output render"));
    ASSERT_FALSE(renderThreads.isEmpty());
    for (const pid_t thread : renderThreads) {
        EXPECT_EQ(sched_getscheduler(thread), SCHED_OTHER) << "main thread real-time: " << realTimeMain;
        EXPECT_GT(ThreadNice::niceOf(thread), ThreadNice::ownNice());
    }
}

// The render thread presents every frame the decoder delivers, however long the main thread is held.
TEST_F(OutputWindows, KeepPresentingVideoWhileTheMainThreadIsBlocked)
{
    const std::unique_ptr<Playing> playing = play(4);
    Swaps& swaps = playing->swaps;
    ASSERT_TRUE(waitUntil([&] { return swaps.videoFrames() >= 3; }, 10000));

    const auto blocked = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(300ms);
    const int frames = swaps.framesBetween(blocked, std::chrono::steady_clock::now());
    // About nine frames fall due in that time; a sanitized build on a busy machine shows fewer.
    EXPECT_GE(frames, 3) << "new video frames shown while the main thread was blocked";
}

// Each swap tells the frame it showed as its player made it: a played clip's frames, of one item, fall due their media
// times apart, so that what a swap reports is when the program meant the frame to be seen.
TEST_F(OutputWindows, EachSwapTellsWhenItsFrameFellDue)
{
    const std::unique_ptr<Playing> playing = play(2);
    Swaps& swaps = playing->swaps;
    ASSERT_TRUE(waitUntil([&] { return swaps.videoFrames() >= 10; }, 10000));
    std::scoped_lock hold(swaps.lock);
    const auto played = std::find_if(swaps.videoShown.cbegin(), swaps.videoShown.cend(),
                                     [](const Swaps::Video& video) { return video.dueNs >= 0; });
    ASSERT_NE(played, swaps.videoShown.cend()) << "no swap told a due time";
    for (auto video = played; video != swaps.videoShown.cend(); ++video) {
        EXPECT_EQ(video->item, played->item);
        ASSERT_GE(video->dueNs, 0) << "a played frame at " << video->time << " s";
        const double apart = double(video->dueNs - played->dueNs) / 1e6;
        EXPECT_NEAR(apart, (video->time - played->time) * 1000, 2) << "frame at " << video->time << " s";
    }
}

// A GO to a prepared video: the first frame goes up at once, without waiting for the main thread's next turn,
// while the player waits for the common start; the frames after it follow.
TEST_F(OutputWindows, APreparedVideoPutUpShowsItsFirstFrameAtOnceAndPlaysFromTheStart)
{
    OneScreen screen(defaultPlayerFactory());
    screen.picture->setImage(filled(Qt::red));
    Picture video(defaultPlayerFactory());
    video.load(QUrl::fromLocalFile(MediaFixtures::indexedVideo(60, 30, {320, 180})));
    ASSERT_TRUE(waitUntil([&] { return video.player()->isReady() && video.player()->currentFrame(); }, 10000));
    Swaps swaps;
    auto window = open(screen);
    swaps.watch(*window);
    ASSERT_TRUE(waitUntil([&] { return onScreen(*window).pixelColor(160, 90) == Qt::red; }));

    const auto start = std::chrono::steady_clock::now() + 1s;
    screen.picture->setForeground(&video);
    video.player()->playAt(0, start);
    const auto firstVideoFrame = [&]() -> std::optional<double> {
        std::scoped_lock hold(swaps.lock);
        for (const auto& [at, time] : swaps.shown)
            if (time >= 0)
                return time;
        return std::nullopt;
    };
    // The main thread handles no events meanwhile: nothing queued may be needed. The deadline is for a machine too
    // busy to draw (the first video frame builds its shader).
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!firstVideoFrame() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(firstVideoFrame()) << "the first frame did not go up while the main thread was held";
    EXPECT_EQ(*firstVideoFrame(), 0.0);
    EXPECT_NE(onScreen(*window, "output-window-first-frame").pixelColor(160, 90), QColor(Qt::red));

    ASSERT_TRUE(waitUntil([&] { return swaps.videoFrames() >= 5; }, 10000));
    EXPECT_TRUE(window->errorText().isEmpty());
}

// Mappings handed over while frames are being drawn: every frame shows the whole of one or the other.
TEST_F(OutputWindows, AMappingChangeShowsWholeFramesOfOneMappingOrTheOther)
{
    OneScreen screen;
    QImage halves(160, 90, QImage::Format_RGB32);
    halves.fill(Qt::red);
    QPainter(&halves).fillRect(0, 45, 160, 45, Qt::blue);
    screen.picture->setImage(halves);
    const ProjectorMapping top = cropped({0, 0, 1, 0.5});
    const ProjectorMapping bottom = cropped({0, 0.5, 1, 0.5});
    screen.setMapping(top);
    auto window = open(screen);
    ASSERT_TRUE(waitUntil([&] { return onScreen(*window).pixelColor(160, 170) == Qt::red; }));
    for (int i = 0; i < 40; ++i) {
        screen.setMapping(i % 2 ? bottom : top);
        QCoreApplication::processEvents();
        const QImage image = onScreen(*window);
        const QColor upper = image.pixelColor(160, 10);
        const QColor lower = image.pixelColor(160, 170);
        ASSERT_EQ(upper, lower) << "frame " << i << " mixes two mappings";
        ASSERT_TRUE(upper == Qt::red || upper == Qt::blue) << upper.name().toStdString();
    }
    EXPECT_TRUE(waitUntil([&] { return onScreen(*window).pixelColor(160, 10) == Qt::blue; }));
}

// Clip after clip: the old clip's last frame stays until the new one has a frame of its own.
TEST_F(OutputWindows, NeverShowsBlackBetweenTwoClips)
{
    OneScreen screen;
    Picture first{fakePlayers()};
    Picture next{fakePlayers()};
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/media/clip.mp4"));
    first.load(url);
    fake(first)->show(filled(Qt::red));
    screen.picture->setForeground(&first);
    auto window = open(screen);
    ASSERT_TRUE(waitUntil([&] { return onScreen(*window).pixelColor(160, 90) == Qt::red; }));

    next.load(url);
    screen.picture->setForeground(&next);
    QList<QColor> seen;
    for (int i = 0; i < 6; ++i) {
        runEvents(20);
        seen.append(onScreen(*window).pixelColor(160, 90));
    }
    fake(next)->show(filled(Qt::blue));
    EXPECT_TRUE(waitUntil([&] {
        seen.append(onScreen(*window).pixelColor(160, 90));
        return seen.last() == Qt::blue;
    }));
    for (const QColor& colour : seen)
        EXPECT_TRUE(colour == Qt::red || colour == Qt::blue) << colour.name().toStdString();
}

// Windows closed while their render threads draw video and take new mappings: each closes at once and cleanly.
TEST_F(OutputWindows, ClosingWhileDrawing)
{
    // Long enough to play through every round on a busy machine.
    const QString clip = MediaFixtures::video({{320, 180}, 60, 30});
    OneScreen screen(defaultPlayerFactory());
    screen.picture->load(QUrl::fromLocalFile(clip));
    ASSERT_TRUE(waitUntil([&] { return screen.picture->player()->isReady(); }, 10000));
    screen.picture->player()->play();
    for (int round = 0; round < 8; ++round) {
        auto window = open(screen);
        const quint64 swaps = window->swaps();
        ASSERT_TRUE(waitUntil([&] { return window->swaps() > swaps + 1; }));
        screen.setMapping(cropped({0, 0, 0.5 + round * 0.05, 1}));
        HangGuard guard("closing an output window", 10s);
        window.reset();
    }
}

// An output window on the second display with the test pattern over a red picture, once it has drawn.
std::unique_ptr<ScreenOutputWindow> openPatternWindow(OneScreen& screen, QSize size)
{
    screen.picture->setImage(filled(Qt::red));
    screen.setTestPattern(true);
    auto window = std::make_unique<ScreenOutputWindow>(&screen, kScreen, QGuiApplication::screens()[1],
                                                       QRect(QPoint(0, 0), size));
    waitUntil([&] { return window->isExposed() && window->swaps() > 0; });
    return window;
}

// The corner-pinned output shows the same test pattern as the console's monitor of it, line for line, cropped too;
// a curved output keeps the mesh's own grid.
TEST_F(OutputWindows, TheTestPatternMatchesTheMonitors)
{
    const QSize full(1920, 1080);
    OneScreen screen;
    const std::unique_ptr<ScreenOutputWindow> window = openPatternWindow(screen, full);
    ASSERT_TRUE(window->isExposed() && window->swaps() > 0);
    for (const QRectF crop : {QRectF(0, 0, 1, 1), QRectF(0.25, 0.25, 0.5, 0.5)}) {
        SCOPED_TRACE(crop.width());
        screen.setMapping(cropped(crop));
        const QString name = crop.width() == 1 ? QStringLiteral("output-window-test-pattern")
                                               : QStringLiteral("output-window-test-pattern-cropped");
        MappedOutput monitor(&screen, kScreen, {.testPattern = true});
        showOnScreen(monitor, full);
        const QImage painted = grabbed(monitor, name + "-monitor");
        monitor.hide();
        // A grab may catch a frame of the previous crop.
        QString difference;
        EXPECT_TRUE(waitUntil([&] {
            return (difference = patternDifference(onSecondDisplay(name), painted)).isEmpty();
        })) << difference.toStdString();
    }

    ProjectorMapping curved = cropped({0, 0, 1, 1});
    curved.mesh = curved.meshPoints();
    screen.setMapping(curved);
    EXPECT_TRUE(waitUntil([&] {
        return near(onSecondDisplay("output-window-test-pattern-curved").pixelColor(96, 300), QColor(0, 217, 230));
    }));
}

// Where the lines of the pattern cross a row (or column): each run of lit pixels as its first and last pixel. A line
// warped smaller than its pixel still lights the pixel nearest to it by a good third.
QList<std::pair<int, int>> lineRuns(const QImage& image, int at, bool alongRow)
{
    QList<std::pair<int, int>> runs;
    const int length = alongRow ? image.width() : image.height();
    for (int i = 0; i < length; ++i) {
        if ((alongRow ? image.pixelColor(i, at) : image.pixelColor(at, i)).blue() <= 50)
            continue;
        if (!runs.isEmpty() && runs.last().second == i - 1)
            runs.last().second = i;
        else
            runs.append({i, i});
    }
    return runs;
}

// One-pixel lines at first, first + step, … below end, and at last.
QList<std::pair<int, int>> linesAt(int first, int step, int end, int last)
{
    QList<std::pair<int, int>> lines;
    for (int position = first; position < end; position += step)
        lines.append({position, position});
    lines.append({last, last});
    return lines;
}

std::string listed(const QList<std::pair<int, int>>& runs)
{
    QStringList texts;
    for (const auto& [first, last] : runs)
        texts.append(first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last));
    return texts.join(' ').toStdString();
}

// On a 1920 × 1080 output window every line of the pattern shows, one pixel wide, the outermost ones on the window's
// edges (the right and bottom ones in its last column and row); through a crop the lines it takes in, those on its
// edges too; corner-pinned, the picture's edge lines on the pinned quad's edges. The monitor draws the same.
TEST_F(OutputWindows, TheTestPatternsOuterLinesLieOnTheEdges)
{
    const QSize full(1920, 1080);
    OneScreen screen;
    const std::unique_ptr<ScreenOutputWindow> window = openPatternWindow(screen, full);
    ASSERT_TRUE(window->isExposed() && window->swaps() > 0);

    struct Case
    {
        const char* name;
        QRectF crop;
        QList<std::pair<int, int>> columns;
        QList<std::pair<int, int>> rows;
    };
    const QList<Case> cases{
        {"flat", {0, 0, 1, 1}, linesAt(0, 96, 1920, 1919), linesAt(0, 54, 1080, 1079)},
        {"cropped", {0.5, 0.5, 0.5, 0.5}, linesAt(0, 192, 1920, 1919), linesAt(0, 108, 1080, 1079)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen.setMapping(cropped(c.crop));
        const QString shot = QStringLiteral("output-window-test-pattern-edges-") + c.name;
        QList<std::pair<int, int>> columns;
        QList<std::pair<int, int>> rows;
        // A grab may catch a frame of the previous crop.
        EXPECT_TRUE(waitUntil([&] {
            const QImage drawn = onSecondDisplay(shot);
            columns = lineRuns(drawn, 301, true);
            rows = lineRuns(drawn, 501, false);
            return columns == c.columns && rows == c.rows;
        })) << "columns "
            << listed(columns) << "\nrows " << listed(rows);

        MappedOutput monitor(&screen, kScreen, {.testPattern = true});
        showOnScreen(monitor, full);
        const QImage painted = grabbed(monitor, shot + "-monitor");
        monitor.hide();
        EXPECT_EQ(lineRuns(painted, 301, true), c.columns) << listed(lineRuns(painted, 301, true));
        EXPECT_EQ(lineRuns(painted, 501, false), c.rows) << listed(lineRuns(painted, 501, false));
    }

    // Pinned to 0.1 … 0.9 of the output, the picture spans x 192 … 1727 and y 108 … 971.
    ProjectorMapping pinned = cropped({0, 0, 1, 1});
    pinned.corners = {{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}};
    screen.setMapping(pinned);
    QList<std::pair<int, int>> across;
    QList<std::pair<int, int>> down;
    const auto outerLinesOnTheQuad = [&] {
        const QImage drawn = onSecondDisplay("output-window-test-pattern-edges-pinned");
        across = lineRuns(drawn, 301, true);
        down = lineRuns(drawn, 501, false);
        return across.size() == 21 && down.size() == 21 && std::abs(across.first().first - 192) <= 1 &&
               std::abs(across.last().second - 1727) <= 1 && std::abs(down.first().first - 108) <= 1 &&
               std::abs(down.last().second - 971) <= 1;
    };
    EXPECT_TRUE(waitUntil(outerLinesOnTheQuad))
        << across.size() << " lines across, " << down.size() << " down; last across ends at "
        << (across.isEmpty() ? -1 : across.last().second) << ", last down at "
        << (down.isEmpty() ? -1 : down.last().second);
}

// Under video black the flat pattern still shows on the output window, as on its monitor; a curved output stays
// black, as its picture is.
TEST_F(OutputWindows, TheTestPatternShowsUnderVideoBlack)
{
    const QSize full(1920, 1080);
    OneScreen screen;
    screen.picture->setImage(filled(Qt::red));
    screen.picture->setBlack(true);
    screen.setMapping(cropped({0, 0, 1, 1}));
    auto window = std::make_unique<ScreenOutputWindow>(&screen, kScreen, QGuiApplication::screens()[1],
                                                       QRect(QPoint(0, 0), full));
    ASSERT_TRUE(waitUntil([&] { return window->isExposed() && window->swaps() > 0; }));
    EXPECT_TRUE(waitUntil([&] { return onSecondDisplay().pixelColor(960, 301) == Qt::black; }));

    screen.setTestPattern(true);
    QList<std::pair<int, int>> columns;
    EXPECT_TRUE(waitUntil([&] {
        columns = lineRuns(onSecondDisplay("output-window-test-pattern-under-video-black"), 301, true);
        return columns == linesAt(0, 96, 1920, 1919);
    })) << listed(columns);
    EXPECT_EQ(onSecondDisplay().pixelColor(50, 301), QColor(Qt::black));
    MappedOutput monitor(&screen, kScreen, {.testPattern = true});
    showOnScreen(monitor, full);
    EXPECT_EQ(lineRuns(grabbed(monitor, "output-window-test-pattern-under-video-black-monitor"), 301, true), columns);
    monitor.hide();

    ProjectorMapping curved = cropped({0, 0, 1, 1});
    curved.mesh = curved.meshPoints();
    screen.setMapping(curved);
    EXPECT_TRUE(waitUntil([&] { return lineRuns(onSecondDisplay(), 301, true).isEmpty(); }));
    screen.picture->setBlack(false);
    EXPECT_TRUE(waitUntil([&] {
        return near(onSecondDisplay("output-window-test-pattern-curved-after-black").pixelColor(96, 300),
                    QColor(0, 217, 230));
    }));
}

// A flat mapping whose corners lie far off the output (a hand-edited file may hold ±1e308) still draws the picture,
// on the output window and on its monitor: round the whole output, the picture's middle fills it; one far corner
// of a convex quad leaves the picture over the quad's part of the output.
TEST_F(OutputWindows, CornersFarOffTheOutputStillDrawThePicture)
{
    const double far = 1e308;
    OneScreen screen;
    screen.picture->setImage(bands({160, 90}, {Qt::red, Qt::green, Qt::blue}));
    auto window = open(screen);
    struct Case
    {
        const char* name;
        QList<QPointF> corners;
        QColor colour;
    };
    // Uncorrected, the left of the output would be red and its right blue.
    const QList<Case> cases{
        {"round-everything", {{-far, -far}, {far, -far}, {far, far}, {-far, far}}, Qt::green},
        {"one-far", {{0, 0}, {far, 0}, {1, 1}, {0, 1}}, Qt::red},
    };
    const auto shows = [](const QImage& image, QColor colour) {
        return near(image.pixelColor(5, 90), colour, 2) && near(image.pixelColor(300, 90), colour, 2);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectorMapping mapping = cropped({0, 0, 1, 1});
        mapping.corners = c.corners;
        screen.setMapping(mapping);
        const QString shot = QStringLiteral("output-window-corners-far-") + c.name;
        EXPECT_TRUE(waitUntil([&] { return shows(onScreen(*window, shot), c.colour); }))
            << onScreen(*window).pixelColor(5, 90).name().toStdString() << " "
            << onScreen(*window).pixelColor(300, 90).name().toStdString();
        MappedOutput monitor(&screen, kScreen, {});
        showOnScreen(monitor, kGeometry.size());
        EXPECT_TRUE(shows(grabbed(monitor, shot + "-monitor"), c.colour))
            << grabbed(monitor).pixelColor(300, 90).name().toStdString();
        monitor.hide();
        EXPECT_EQ(screen.mapping(kScreen).corners, c.corners);
    }
}

// A still with transparent parts shows the default picture there, flat, corner-pinned and curved, as the monitor
// shows it.
TEST_F(OutputWindows, ATransparentStillShowsTheDefaultPictureBeneath)
{
    OneScreen screen;
    screen.picture->setFallback(filled(Qt::red));
    screen.picture->setImage(halfTransparent());
    PictureView monitor(screen.picture, true);
    showOnScreen(monitor, kGeometry.size());
    const QImage painted = grabbed(monitor, "output-window-transparent-still-monitor");
    monitor.hide();
    EXPECT_EQ(painted.pixelColor(40, 90), QColor(Qt::red));

    ProjectorMapping pinned = cropped({0, 0, 1, 1});
    pinned.corners = {{0.1, 0.1}, {0.9, 0.1}, {0.9, 0.9}, {0.1, 0.9}};
    ProjectorMapping curved = cropped({0, 0, 1, 1});
    curved.mesh = curved.meshPoints();
    const QList<std::pair<QString, ProjectorMapping>> mappings{
        {"plain", ProjectorMapping()}, {"flat", cropped({0, 0, 1, 1})}, {"pinned", pinned}, {"curved", curved}};
    auto window = open(screen);
    for (const auto& [name, mapping] : mappings) {
        SCOPED_TRACE(name.toStdString());
        screen.setMapping(mapping);
        // Inside the pinned quad too: a quarter and three quarters across; outside it black.
        const QColor corner = name == "pinned" ? Qt::black : Qt::red;
        EXPECT_TRUE(waitUntil([&] {
            const QImage drawn = onScreen(*window, "output-window-transparent-still-" + name);
            return drawn.pixelColor(80, 90) == painted.pixelColor(80, 90) &&
                   drawn.pixelColor(240, 90) == painted.pixelColor(240, 90) && drawn.pixelColor(5, 5) == corner;
        })) << onScreen(*window).pixelColor(80, 90).name().toStdString();
    }
}

// A curved output of a picture without a default picture shows the standby artwork until a clip's first frame,
// with no black frame between; a clip that never shows a frame leaves the artwork up.
TEST_F(OutputWindows, ACurvedOutputShowsTheStandbyArtworkUntilTheFirstFrame)
{
    OneScreen screen;
    screen.picture->setShowsStandby(true);
    ProjectorMapping curved = cropped({0, 0, 1, 1});
    curved.mesh = curved.meshPoints();
    screen.setMapping(curved);
    Picture clip{fakePlayers()};
    clip.load(QUrl::fromLocalFile(QStringLiteral("/media/clip.mp4")));
    screen.picture->setForeground(&clip);
    Swaps swaps;
    auto window = open(screen);
    swaps.watch(*window);
    const auto artworkShown = [&] {
        const QImage image = onScreen(*window, "output-window-curved-standby");
        return image.pixelColor(160, 90) != Qt::black && image.pixelColor(160, 90) != Qt::red;
    };
    ASSERT_TRUE(waitUntil(artworkShown));
    runEvents(200);
    EXPECT_TRUE(artworkShown());
    const size_t before = [&] {
        std::scoped_lock hold(swaps.lock);
        return swaps.shown.size();
    }();

    fake(clip)->show(filled(Qt::red));
    EXPECT_TRUE(waitUntil([&] { return onScreen(*window).pixelColor(160, 90) == Qt::red; }));
    // The swap is reported just after it reaches the screen.
    EXPECT_TRUE(waitUntil([&] {
        std::scoped_lock hold(swaps.lock);
        return swaps.shown.size() > before;
    }));
    std::scoped_lock hold(swaps.lock);
    ASSERT_GT(swaps.shown.size(), before);
    // Every frame presented since the artwork was seen shows the video.
    for (size_t i = before; i < swaps.shown.size(); ++i)
        EXPECT_GE(swaps.shown[i].second, 0) << "frame " << i << " shows no video";
}

TEST_F(OutputWindows, ACurvedOutputKeepsTheStandbyArtworkForAClipThatCannotBeDecoded)
{
    OneScreen screen(defaultPlayerFactory());
    screen.picture->setShowsStandby(true);
    ProjectorMapping curved = cropped({0, 0, 1, 1});
    curved.mesh = curved.meshPoints();
    screen.setMapping(curved);
    auto window = open(screen);
    const QColor artwork = onScreen(*window).pixelColor(160, 90);
    ASSERT_NE(artwork, QColor(Qt::black));
    screen.picture->load(QUrl::fromLocalFile(MediaFixtures::file("undecodable.mp4", QByteArray(4096, 'x'))));
    ASSERT_TRUE(waitUntil([&] { return screen.picture->player()->status() == PlayerStatus::failed; }));
    runEvents(200);
    EXPECT_EQ(onScreen(*window, "output-window-curved-undecodable").pixelColor(160, 90), artwork);
}

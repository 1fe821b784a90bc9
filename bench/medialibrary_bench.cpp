// Figures for the media library filling up: 500 files (400 pictures, 100 short videos) dropped at once on the
// panel, as the console shows it. Times until every entry is listed and until the thumbnails are shown, and the
// longest stretch the main thread was busy meanwhile (measured by a 1 ms timer).
#include "assetthumbnails.h"
#include "benchtools.h"
#include "engine.h"
#include "lumostyle.h"
#include "mediafixtures.h"
#include "medialibrarypanel.h"
#include "timelineeditormodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {
// The longest gap between two ticks of a timer that asks to run every millisecond, and the most CPU time the main
// thread itself spent within one gap: on a loaded machine a gap can also be the thread waiting for a core.
class StallMeter : public QObject
{
  public:
    StallMeter()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double cpu = threadCpuMs();
            m_longest = std::max(m_longest, m_sinceTick.nsecsElapsed() / 1e6);
            m_busiest = std::max(m_busiest, cpu - m_cpuAtTick);
            m_sinceTick.restart();
            m_cpuAtTick = cpu;
        });
    }
    void start()
    {
        m_longest = m_busiest = 0;
        m_cpuAtTick = threadCpuMs();
        m_sinceTick.start();
        m_timer.start();
    }
    double longest() const { return m_longest; }
    double busiest() const { return m_busiest; }

  private:
    static double threadCpuMs() { return BenchTools::threadCpuSeconds() * 1e3; }

    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    double m_cpuAtTick = 0;
    double m_longest = 0;
    double m_busiest = 0;
};

// Runs the event loop until the condition holds; false after a minute.
bool runUntil(const std::function<bool()>& done)
{
    BenchTools::runEventsUntil(done, 60000);
    return done();
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(' ', 0, 0)
                                          : QStringLiteral("?");
}

QList<QUrl> generatedFiles(const QTemporaryDir& folder)
{
    const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::darkYellow};
    const QString pictures[] = {
        MediaFixtures::png({1920, 1080}, colours[0]), MediaFixtures::png({1280, 720}, colours[1]),
        MediaFixtures::png({3000, 2000}, colours[2]), MediaFixtures::png({800, 1200}, colours[3])};
    const QString video = MediaFixtures::video({{640, 360}, 0.5, 25});
    QList<QUrl> files;
    for (int i = 0; i < 500; ++i) {
        const bool isVideo = i % 5 == 4;
        const QString path =
            folder.filePath(QStringLiteral("asset-%1.%2").arg(i, 3, 10, QChar('0')).arg(isVideo ? "mp4" : "png"));
        QFile::copy(isVideo ? video : pictures[i % 4], path);
        files.append(QUrl::fromLocalFile(path));
    }
    return files;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    applyLumoStyle(app);
    QTemporaryDir folder;
    const QList<QUrl> files = generatedFiles(folder);
    Engine engine(true, nullptr, folder.path());
    TimelineEditorModel model(&engine);
    MediaLibraryPanel panel(model);
    panel.resize(300, 700);
    panel.show();
    runUntil([&] { return panel.isVisible(); });
    QCoreApplication::processEvents();

    // The same meter over a second of nothing, for the machine's own noise.
    StallMeter stalls;
    stalls.start();
    QElapsedTimer idle;
    idle.start();
    runUntil([&] { return idle.elapsed() > 1000; });
    const double idleStall = stalls.longest();
    stalls.start();
    QElapsedTimer clock;
    clock.start();
    QMimeData drop;
    drop.setUrls(files);
    panel.acceptDrop(&drop);
    const double imported = clock.nsecsElapsed() / 1e6;
    QCoreApplication::processEvents();
    const double listed = clock.nsecsElapsed() / 1e6;
    const int rows = panel.list()->model()->rowCount();

    // The rows on screen ask for their stills as they are painted.
    AssetThumbnails& thumbnails = panel.thumbnails();
    runUntil([&] { return thumbnails.pending() == 0 && clock.elapsed() > 50; });
    const double visibleShown = clock.nsecsElapsed() / 1e6;
    // Then the operator scrolls through the whole list from the top (the import showed the last entry), a page
    // every 100 ms.
    panel.list()->scrollToTop();
    QTimer pager;
    QObject::connect(&pager, &QTimer::timeout, [&] {
        QScrollBar* bar = panel.list()->verticalScrollBar();
        bar->setValue(bar->value() + bar->pageStep());
    });
    pager.start(100);
    const QList<MediaAsset> assets = model.cue().assets();
    const bool allShown = runUntil([&] {
        return std::all_of(assets.cbegin(), assets.cend(),
                           [&](const MediaAsset& a) { return thumbnails.isSettled(a.url); });
    });
    const double everyShown = clock.nsecsElapsed() / 1e6;

    std::printf("%d files dropped, %d listed\n", int(files.size()), rows);
    std::printf("%-48s %8.1f ms\n", "import of the dropped files (one call)", imported);
    std::printf("%-48s %8.1f ms   (goal < 1000 ms)\n", "all entries listed", listed);
    std::printf("%-48s %8.1f ms\n", "thumbnails of the rows on screen shown", visibleShown);
    std::printf("%-48s %8.1f ms%s\n", "scrolled to the end, every thumbnail shown", everyShown,
                allShown ? "" : "   (not finished within a minute)");
    std::printf("%-48s %8.1f ms   (goal < 16 ms)\n", "longest main-thread stall", stalls.longest());
    std::printf("%-48s %8.1f ms\n", "most main-thread CPU time within one stall", stalls.busiest());
    std::printf("%-48s %8.1f ms   (load average now %s)\n", "longest stall of the idle program beforehand", idleStall,
                qPrintable(loadAverage()));
    return 0;
}

#include "engine.h"
#include "filedescriptors.h"
#include "pipelineworkers.h"
#include "projectfilewait.h"
#include "soundoutput.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QUrl>
#include <cstdio>
#include <sys/resource.h>

// The engine on real players with few file descriptors, opening shows as the console's project menu does:
//   descriptor_limit_process RECOVERY_FOLDER LIMIT OVERSIZED_SHOW CROWDED_SHOW
// After each step it prints the status line (for the take, the one that said descriptors were short), the number of
// screens and the descriptors it holds, tab-separated: the oversized show is opened, the crowded one is opened, its
// first cue is taken (a clip on every screen), and the crowded show is opened again.
static void report(const char* step, const Engine& engine, const QString& shown = {})
{
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const int open =
        int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
    std::printf("%s\t%s\t%lld\t%d\n", step, qUtf8Printable(shown.isEmpty() ? engine.message() : shown),
                qlonglong(engine.show().screens().size()), open);
    std::fflush(stdout);
}

// The open's outcome as the status line said it: players let go meanwhile may say more once it is there.
static QString open(Engine& engine, const QString& path)
{
    QString outcome;
    const QMetaObject::Connection watching = QObject::connect(&engine, &Engine::messageChanged, [&] {
        const QString said = engine.message();
        if (outcome.isEmpty() &&
            (said == QStringLiteral("工程已打开") || said.startsWith(QStringLiteral("无法打开工程"))))
            outcome = said;
    });
    ProjectFileWait::open(engine, QUrl::fromLocalFile(path));
    QObject::disconnect(watching);
    return outcome;
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc != 5) {
        std::fprintf(stderr, "usage: descriptor_limit_process RECOVERY_FOLDER LIMIT OVERSIZED_SHOW CROWDED_SHOW\n");
        return 2;
    }
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = rlim_t(QByteArray(argv[2]).toLongLong());
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 3;
    QApplication app(argc, argv);
    SoundOutput::shared().choose(SoundSink::silent);
    // Ends as the program does: the players let go are torn down before the process is, since streaming threads
    // still loading plugins while libraries unload crash the exit.
    {
        Engine engine(true, nullptr, QString::fromLocal8Bit(argv[1]));

        report("oversized", engine, open(engine, QString::fromLocal8Bit(argv[3])));
        report("crowded", engine, open(engine, QString::fromLocal8Bit(argv[4])));

        // Until the status line has said why something did not play, or for long enough that every clip would have. On
        // a busy machine a clip that did start may fail later and take the status line over: what was said counts.
        QString shortageShown;
        QObject::connect(&engine, &Engine::messageChanged, [&] {
            if (shortageShown.isEmpty() && engine.message().contains(FileDescriptors::shortageText()))
                shortageShown = engine.message();
        });
        engine.take(engine.show().cues.first());
        QElapsedTimer waited;
        waited.start();
        while (shortageShown.isEmpty() && !waited.hasExpired(20000))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        report("played", engine, shortageShown);

        report("reopened", engine, open(engine, QString::fromLocal8Bit(argv[4])));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    PipelineWorkers::waitForAll(30000);
    return 0;
}

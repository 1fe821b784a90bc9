#include "asidethreads.h"
#include "engine.h"
#include "lumoriaapp.h"
#include "mediafiles.h"
#include "programend.h"
#include "quitonsignal.h"
#include "stilldecoder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QThreadPool>
#include <QTimer>
#include <cstdio>
#include <string>
#include <unistd.h>

// The console as the program's entry wires it and ends it, over the given recovery folder, with one edit made at
// once, or with "--on-request" once a line comes on its standard input (so that a test can stop the folder's share
// first), or with "--preview VIDEO" made at once with the video the second cue's one clip, previewed once a line comes,
// or with "--unmeasured VIDEO" the same with the video's length not known, or with "--picture PICTURE" made at once,
// the picture read by the shared still decoder once a line comes:
//   edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME [--on-request | --preview VIDEO |
//                          --unmeasured VIDEO | --picture PICTURE]
// It prints "ready" when it waits for the request, "edited" once the edit is made, long before the recovery copy's
// delay is up, "answered" once the disk has answered about the video and nothing looks at the disk any more,
// "previewing" once the still is asked for, "asked: " with the question's texts each time the quit asks the operator,
// and at its end how the main thread served a 5 ms timer from the moment the application was about to quit
// ("quit: TICKS ticks, longest gap MS"). A picture's line "look" starts its look ("looking"); "decode" starts the
// look, waits until it has ended ("looked") and holds the main thread until one more line comes, so that its decode
// starts only then ("decoding").
namespace {
void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

std::string nextLine()
{
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin))
        return {};
    return QByteArray(line).trimmed().toStdString();
}

// The look's answer waits in the event queue while the main thread is held, and the decode starts once it is served.
void readPicture(const QString& path)
{
    const std::string how = nextLine();
    StillDecoder::shared().prepare(path);
    if (how != "decode")
        return say("looking");
    AsideThreads::waitForUnwaited(30000);
    say("looked");
    nextLine();
    say("decoding");
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool onRequest = argc == 5 && QByteArray(argv[4]) == "--on-request";
    const bool unmeasured = argc == 6 && QByteArray(argv[4]) == "--unmeasured";
    const bool preview = unmeasured || (argc == 6 && QByteArray(argv[4]) == "--preview");
    const bool picture = argc == 6 && QByteArray(argv[4]) == "--picture";
    if (argc != 4 && !onRequest && !preview && !picture) {
        std::fprintf(stderr, "usage: edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME [--on-request | "
                             "--preview VIDEO | --unmeasured VIDEO | --picture PICTURE]\n");
        return 2;
    }
    QuitOnSignal quitOnSignal;
    QPointer<QWidget> told;
    QTimer questions;
    QObject::connect(&questions, &QTimer::timeout, [&told] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || box == told || box->objectName() != "unsavedQuit")
            return;
        told = box;
        std::printf("asked: %s %s\n", box->text().toUtf8().constData(), box->informativeText().toUtf8().constData());
        std::fflush(stdout);
    });
    questions.start(20);
    // Connected before the console's own handler: the quit's wait is measured whole.
    bool quitting = false;
    int quitTicks = 0;
    qint64 longestGap = 0;
    QElapsedTimer sinceTick;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        if (!quitting)
            return;
        ++quitTicks;
        longestGap = std::max(longestGap, sinceTick.restart());
    });
    beat.start(5);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] {
        quitting = true;
        sinceTick.start();
    });
    int code = 0;
    {
        LumoriaApp::Options options;
        options.recoveryDirectory = QString::fromLocal8Bit(argv[1]);
        options.settingsFile = QString::fromLocal8Bit(argv[2]);
        LumoriaApp lumoria(options);
        quitOnSignal.setAskToQuit([&lumoria] { return lumoria.askToQuit(); });
        lumoria.show();
        MediaAsset video;
        video.url = QUrl::fromLocalFile(preview ? QString::fromLocal8Bit(argv[5]) : QString());
        video.kind = AssetKind::video;
        if (!unmeasured)
            video.duration = 1;
        const auto edit = [&lumoria, name = QString::fromLocal8Bit(argv[3]), preview, video] {
            Show show = lumoria.engine().show();
            show.cues.first().name = name;
            if (preview) {
                TimelineEvent clip;
                clip.track = Track::main;
                clip.assetID = video.id;
                show.assets = QList<MediaAsset>{video};
                show.cues[1].timeline = QList<TimelineEvent>{clip};
            }
            lumoria.engine().setShow(show);
            std::printf("edited\n");
            std::fflush(stdout);
        };
        QTimer answered;
        QObject::connect(&answered, &QTimer::timeout, [&] {
            if (lumoria.engine().mediaFiles().state(video.url, FileDepth::header) != FileState::answered ||
                !AsideThreads::waitForAll(0) || !AsideThreads::waitForUnwaited(0) ||
                QThreadPool::globalInstance()->activeThreadCount() > 0)
                return;
            answered.stop();
            std::printf("answered\n");
            std::fflush(stdout);
        });
        if (preview)
            answered.start(20);
        QSocketNotifier request(STDIN_FILENO, QSocketNotifier::Read);
        request.setEnabled(onRequest || preview || picture);
        QObject::connect(&request, &QSocketNotifier::activated, [&] {
            request.setEnabled(false);
            if (picture)
                return readPicture(QString::fromLocal8Bit(argv[5]));
            if (!preview)
                return edit();
            lumoria.engine().previewTimeline(lumoria.engine().show().cues[1], 0.5);
            std::printf("previewing\n");
            std::fflush(stdout);
        });
        if (onRequest) {
            std::printf("ready\n");
            std::fflush(stdout);
        } else {
            edit();
        }
        code = QApplication::exec();
        quitOnSignal.setAskToQuit({});
        longestGap = std::max(longestGap, sinceTick.elapsed());
        std::printf("quit: %d ticks, longest gap %lld ms\n", quitTicks, static_cast<long long>(longestGap));
        std::fflush(stdout);
    }
    return endProgram(code);
}

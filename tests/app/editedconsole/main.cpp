#include "engine.h"
#include "lumoriaapp.h"
#include "quitonsignal.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

// The console as the program's entry wires it, over the given recovery folder, with one edit made at once, or with
// "--on-request" once a line comes on its standard input (so that a test can stop the folder's share first):
//   edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME [--on-request]
// It prints "ready" when it waits for the request, "edited" once the edit is made, long before the recovery copy's
// delay is up, "asked: " with the question's texts each time the quit asks the operator, and at its end how the main
// thread served a 5 ms timer from the moment the application was about to quit ("quit: TICKS ticks, longest gap MS").
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const bool onRequest = argc == 5 && QByteArray(argv[4]) == "--on-request";
    if (argc != 4 && !onRequest) {
        std::fprintf(stderr, "usage: edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME [--on-request]\n");
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
        const auto edit = [&lumoria, name = QString::fromLocal8Bit(argv[3])] {
            Show show = lumoria.engine().show();
            show.cues.first().name = name;
            lumoria.engine().setShow(show);
            std::printf("edited\n");
            std::fflush(stdout);
        };
        QSocketNotifier request(STDIN_FILENO, QSocketNotifier::Read);
        request.setEnabled(onRequest);
        QObject::connect(&request, &QSocketNotifier::activated, [&request, edit] {
            request.setEnabled(false);
            edit();
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
    return code;
}

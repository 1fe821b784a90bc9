#include "engine.h"
#include "lumoriaapp.h"
#include "quitonsignal.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <cstdio>

// The console as the program's entry wires it, over the given recovery folder, with one edit made at once:
//   edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME
// It prints "edited" once the edit is made, long before the recovery copy's delay is up, and "asked: " with the
// question's texts each time the quit asks the operator.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: edited_console_process RECOVERY_FOLDER SETTINGS_FILE CUE_NAME\n");
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
    int code = 0;
    {
        LumoriaApp::Options options;
        options.recoveryDirectory = QString::fromLocal8Bit(argv[1]);
        options.settingsFile = QString::fromLocal8Bit(argv[2]);
        LumoriaApp lumoria(options);
        quitOnSignal.setAskToQuit([&lumoria] { return lumoria.askToQuit(); });
        lumoria.show();
        Show show = lumoria.engine().show();
        show.cues.first().name = QString::fromLocal8Bit(argv[3]);
        lumoria.engine().setShow(show);
        std::printf("edited\n");
        std::fflush(stdout);
        code = QApplication::exec();
        quitOnSignal.setAskToQuit({});
    }
    return code;
}

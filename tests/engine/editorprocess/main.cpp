#include "editedshow.h"
#include "engine.h"
#include "fakeplayer.h"
#include "projectfile.h"
#include "soundoutput.h"

#include <QApplication>
#include <QUrl>
#include <cstdio>

// Edits a large show without end, as an operator would at speed, for a test that kills it at a random moment:
//   show_editor_process RECOVERY_FOLDER BASE_SHOW PROJECT_FILE LIFE
// It writes the recovery copy every few edits and saves the project now and then, and prints "ready" once the
// first recovery copy is on disk.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SoundOutput::shared().choose(SoundSink::silent);
    if (argc != 5) {
        std::fprintf(stderr, "usage: show_editor_process RECOVERY_FOLDER BASE_SHOW PROJECT_FILE LIFE\n");
        return 2;
    }
    const Show base = readShowFile(QString::fromLocal8Bit(argv[2]));
    const QUrl project = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[3]));
    const qint64 life = QByteArray(argv[4]).toLongLong();

    Engine::Services services;
    services.players = [](QObject* parent) { return std::make_unique<FakePlayer>(parent); };
    Engine engine(true, nullptr, QString::fromLocal8Bit(argv[1]), services);
    engine.setShow(editedShow(base, life, 0));
    engine.writeRecovery();
    std::printf("ready\n");
    std::fflush(stdout);

    const qint64 count = base.cues.size();
    for (qint64 edit = 1;; ++edit) {
        Show show = engine.show();
        show.universe = life * 1000000 + edit;
        show.cues[edit % count].name = QStringLiteral("life %1 edit %2").arg(life).arg(edit);
        engine.setShow(show);
        if (edit % 5 == 0)
            engine.writeRecovery();
        if (edit % 17 == 0)
            engine.saveProject(project);
        QCoreApplication::processEvents();
    }
}

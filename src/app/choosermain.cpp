// lumoria-chooser: one file panel, run beside the console so that a folder that stops answering holds this program
// and never the show. The console passes what the panel asks as arguments (FilePanelRequest) and reads the answer
// on standard output: the chosen URLs, then a line with a single dot. Until then an empty line every
// FilePanelRequest::kSignOfLifeEvery tells the console that the panel is not held (PanelSignsOfLife).
#include "chineseqtdialogs.h"
#include "filepanel.h"
#include "filepanelrequest.h"
#include "lumostyle.h"
#include "mediaasset.h"
#include "panelsignsoflife.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <unistd.h>

static void write(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    std::optional<FilePanelRequest> request = FilePanelRequest::fromArguments(arguments);
    QList<AssetKind> kinds;
    for (const QString& name : request ? request->mediaKinds : QStringList{})
        if (const std::optional<AssetKind> kind = fromRawValue<AssetKind>(name))
            kinds << *kind;
    if (!request || kinds.size() != request->mediaKinds.size()) {
        std::fputs("lumoria-chooser：参数无法识别，这个程序由 Lumoria 控制台启动。\n", stderr);
        return 2;
    }
    if (!kinds.isEmpty())
        request->nameFilters = assetNameFilters(kinds);
    QApplication app(argc, argv);
    applyLumoStyle(app);
    installChineseQtDialogs();
    write(QByteArray(1, FilePanelRequest::kSignOfLife));
    // Given aside, so that a panel busy taking in a large selection or listing a slow share is not taken for held.
    auto signsOfLife = std::make_unique<PanelSignsOfLife>([] { write(QByteArray(1, FilePanelRequest::kSignOfLife)); });
    auto* panel = new FilePanel(*request);
    if (request->transientFor) {
        panel->winId();
        if (QWindow* console = QWindow::fromWinId(WId(*request->transientFor)))
            panel->windowHandle()->setTransientParent(console);
    }
    // Over the middle of the console, where the operator looks.
    if (request->centredOver) {
        panel->resize(panel->sizeHint());
        panel->move(request->centredOver->center() - panel->rect().center());
    }
    // The panel takes the keyboard as it shows, so that a name typed goes to its name field even where no window
    // manager gives it the focus.
    panel->show();
    panel->activateWindow();
    const bool accepted = panel->exec() == QDialog::Accepted;
    signsOfLife.reset();
    write(FilePanelRequest::answerBytes(accepted ? panel->chosen() : QList<QUrl>()));
    // The console has its answer now, even if what follows waits on a folder that does not answer: the panel's
    // listing thread may hold its end, and with it the process, until the folder answers.
    ::close(STDOUT_FILENO);
    panel->hide();
    delete panel;
    return 0;
}

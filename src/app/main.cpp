#include "applicationstart.h"
#include "filedescriptors.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "mallocgrowth.h"
#include "programend.h"
#include "quitonsignal.h"
#include "singleinstance.h"
#include "startfolders.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

// A second start hands over to the console already running and ends.
static int handOverToRunningCopy(const SingleInstance& instance)
{
    if (instance.bringRunningCopyForward()) {
        std::fputs("Lumoria 已在运行，已切换到正在运行的控制台。\n", stderr);
        return 0;
    }
    std::fputs("Lumoria 已在运行，但它没有回应。请切换到它的窗口。\n", stderr);
    return 1;
}

// The thread that asked the folder waits in the file system still: the process ends without waiting for it.
static int sayFolderSilent(const StartFolders::Silent& silent)
{
    const QString text = QStringLiteral("Lumoria 无法启动：%1 %2 没有响应（它可能在一个停止响应的网络共享上）。"
                                        "请等它恢复后再启动。\n")
                             .arg(silent.what, QDir::toNativeSeparators(silent.path));
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

int main(int argc, char** argv)
{
    limitMallocGrowth();
    FileDescriptors::raiseLimit();
    // Qt reads its configuration under the home folder as it starts: the folders are asked first.
    const StartFolders folders(LumoriaApp::defaultRecoveryDirectory());
    if (const std::optional<StartFolders::Silent> silent = folders.silent())
        return sayFolderSilent(*silent);
    const std::unique_ptr<QApplication> app = startApplication(argc, argv);
    QApplication::setOrganizationName("Lumoria");
    QApplication::setApplicationName("Lumoria");
    SingleInstance instance(folders.lock(), folders.socketPath());
    if (!instance.isFirst())
        return handOverToRunningCopy(instance);
    applyLumoStyle(*app);
    QuitOnSignal quitOnSignal;
    int code = 0;
    {
        LumoriaApp lumoria;
        QObject::connect(&instance, &SingleInstance::forwardRequested, &lumoria, &LumoriaApp::bringForward);
        quitOnSignal.setAskToQuit([&lumoria] { return lumoria.askToQuit(); });
        lumoria.show();
        code = QApplication::exec();
        quitOnSignal.setAskToQuit({});
    }
    return endProgram(code);
}

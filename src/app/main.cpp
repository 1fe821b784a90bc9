#include "engine.h"
#include "lumoriaapp.h"
#include "lumostyle.h"
#include "quitonsignal.h"
#include "remotehost.h"
#include "remotehostpanel.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Lumoria");
    QApplication::setApplicationName("Lumoria");
    applyLumoStyle(app);
    QuitOnSignal quitOnSignal;

    LumoriaApp::Options options;
    options.makeRemoteHost = RemoteHost::factory();
    options.windowContents["remote-control"] = [](Engine& engine) -> QWidget* {
        return new RemoteHostPanel(*engine.remoteHost());
    };
    LumoriaApp lumoria(options);
    lumoria.show();
    return app.exec();
}

#include "lumoriaapp.h"
#include "lumostyle.h"
#include "quitonsignal.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Lumoria");
    QApplication::setApplicationName("Lumoria");
    applyLumoStyle(app);
    QuitOnSignal quitOnSignal;
    LumoriaApp lumoria;
    lumoria.show();
    return app.exec();
}

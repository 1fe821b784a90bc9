#include "nosessionbus.h"

#include <QByteArray>
#include <QtGlobal>

void leaveTheSessionBusOut()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/lumoria-test-session-bus");
}

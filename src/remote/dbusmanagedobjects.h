#pragma once

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

// What org.freedesktop.DBus.ObjectManager.GetManagedObjects carries: each object's interfaces with their
// properties (a{oa{sa{sv}}}).
using DBusInterfaces = QMap<QString, QVariantMap>;
using DBusManagedObjects = QMap<QDBusObjectPath, DBusInterfaces>;

// Lets QtDBus read and write the two; call before either crosses the bus.
inline void registerManagedObjectTypes()
{
    qDBusRegisterMetaType<DBusInterfaces>();
    qDBusRegisterMetaType<DBusManagedObjects>();
}

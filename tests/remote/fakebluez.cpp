#include "fakebluez.h"

#include "dbusmanagedobjects.h"

#include "eventwait.h"

#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QUuid>

QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call)
{
    QDBusPendingCall pending = bus.asyncCall(call, 20000);
    if (!waitUntil([&] { return pending.isFinished(); }, 25000))
        return call.createErrorReply(QDBusError::Timeout, "no answer");
    return pending.reply();
}

FakeBluez::FakeBluez(const QString& busAddress, bool withAdapter, bool powered)
    : m_name("fake-bluez-" + QUuid::createUuid().toString(QUuid::Id128)),
      m_bus(QDBusConnection::connectToBus(busAddress, m_name)), m_withAdapter(withAdapter), m_powered(powered)
{
    registerManagedObjectTypes();
    m_claimed = m_bus.registerService("org.bluez") && m_bus.registerVirtualObject("/", this, QDBusConnection::SubPath);
}

FakeBluez::~FakeBluez()
{
    m_bus.unregisterObject("/");
    QDBusConnection::disconnectFromBus(m_name);
}

void FakeBluez::setPowered(bool powered)
{
    m_powered = powered;
    QDBusMessage changed = QDBusMessage::createSignal(kAdapter, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    changed << QString("org.bluez.Adapter1") << QVariantMap{{"Powered", powered}} << QStringList();
    m_bus.send(changed);
}

void FakeBluez::setAdapter(bool present)
{
    m_withAdapter = present;
    const QString member = present ? "InterfacesAdded" : "InterfacesRemoved";
    QDBusMessage changed = QDBusMessage::createSignal("/", "org.freedesktop.DBus.ObjectManager", member);
    changed << QVariant::fromValue(QDBusObjectPath(kAdapter));
    if (present)
        changed << QVariant::fromValue(adapterInterfaces());
    else
        changed << QStringList(adapterInterfaces().keys());
    m_bus.send(changed);
}

DBusInterfaces FakeBluez::adapterInterfaces() const
{
    return {{"org.bluez.Adapter1", {{"Powered", m_powered}}},
            {"org.bluez.GattManager1", {}},
            {"org.bluez.LEAdvertisingManager1", {}}};
}

void FakeBluez::failRegistration(const QString& errorName, const QString& text, const QString& method)
{
    m_failName = errorName;
    m_failText = text;
    m_failMethod = method;
}

QDBusMessage FakeBluez::callApplication(const QString& path, const QString& interface, const QString& method,
                                        const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_application, path, interface, method);
    call.setArguments(arguments);
    return callAndWait(m_bus, call);
}

QString FakeBluez::introspect(const QString&) const
{
    return {};
}

bool FakeBluez::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString member = message.member();
    QDBusMessage answer = message.createReply();
    if (message.path() == "/" && member == "GetManagedObjects") {
        DBusManagedObjects objects;
        if (m_withAdapter)
            objects.insert(QDBusObjectPath(kAdapter), adapterInterfaces());
        answer = message.createReply(QVariant::fromValue(objects));
    } else if (message.path() == kAdapter && member.contains("egister")) {
        m_calls.append(member + " " + qvariant_cast<QDBusObjectPath>(message.arguments().value(0)).path());
        if (member == "RegisterApplication")
            m_application = message.service();
        if (member == m_failMethod && !m_failName.isEmpty())
            answer = message.createErrorReply(m_failName, m_failText);
    } else {
        return false;
    }
    connection.send(answer);
    // As bluetoothd does, it lets the application know that the advertisement is gone.
    if (member == "UnregisterAdvertisement")
        m_bus.asyncCall(QDBusMessage::createMethodCall(m_application, "/lumoria/remote/advertisement0",
                                                       "org.bluez.LEAdvertisement1", "Release"));
    return true;
}

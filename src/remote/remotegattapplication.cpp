#include "remotegattapplication.h"

#include "dbusmanagedobjects.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>

using Characteristic = RemoteReplyStore::Characteristic;

namespace {

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kGattService = QStringLiteral("org.bluez.GattService1");
const QString kGattCharacteristic = QStringLiteral("org.bluez.GattCharacteristic1");
const QString kAdvertisementInterface = QStringLiteral("org.bluez.LEAdvertisement1");

QString propertyXml(const QVariantMap& properties)
{
    QString xml;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        const char* signature = QDBusMetaType::typeToSignature(it.value().metaType());
        xml += QStringLiteral("<property name=\"%1\" type=\"%2\" access=\"read\"/>")
                   .arg(it.key(), QString::fromLatin1(signature));
    }
    return xml;
}

const char* const kCharacteristicMethods =
    "<method name=\"ReadValue\"><arg name=\"options\" type=\"a{sv}\" direction=\"in\"/>"
    "<arg name=\"value\" type=\"ay\" direction=\"out\"/></method>"
    "<method name=\"WriteValue\"><arg name=\"value\" type=\"ay\" direction=\"in\"/>"
    "<arg name=\"options\" type=\"a{sv}\" direction=\"in\"/></method>";

} // namespace

RemoteGattApplication::RemoteGattApplication(Handler handler, Released released, QObject* parent)
    : QDBusVirtualObject(parent), m_handler(std::move(handler)), m_released(std::move(released))
{
    registerManagedObjectTypes();
}

QString RemoteGattApplication::errorName(RemoteReplyStore::Result result)
{
    switch (result) {
    case RemoteReplyStore::Result::success:
        return {};
    case RemoteReplyStore::Result::readNotPermitted:
        return QStringLiteral("org.bluez.Error.NotPermitted");
    case RemoteReplyStore::Result::requestNotSupported:
        return QStringLiteral("org.bluez.Error.NotSupported");
    case RemoteReplyStore::Result::invalidOffset:
        return QStringLiteral("org.bluez.Error.InvalidOffset");
    }
    return QStringLiteral("org.bluez.Error.Failed");
}

QMap<QString, QMap<QString, QVariantMap>> RemoteGattApplication::objects()
{
    const auto characteristic = [](const QString& uuid, const char* flag) {
        return QVariantMap{{QStringLiteral("UUID"), uuid},
                           {QStringLiteral("Service"), QVariant::fromValue(QDBusObjectPath(kService))},
                           {QStringLiteral("Flags"), QStringList{QString::fromLatin1(flag)}}};
    };
    return {
        {kService, {{kGattService, {{QStringLiteral("UUID"), kServiceUuid}, {QStringLiteral("Primary"), true}}}}},
        {kRequest, {{kGattCharacteristic, characteristic(kRequestUuid, "write")}}},
        {kReply, {{kGattCharacteristic, characteristic(kReplyUuid, "read")}}},
        {kAdvertisement,
         {{kAdvertisementInterface,
           {{QStringLiteral("Type"), QStringLiteral("peripheral")},
            {QStringLiteral("ServiceUUIDs"), QStringList{kServiceUuid}},
            {QStringLiteral("LocalName"), kLocalName}}}}},
    };
}

QString RemoteGattApplication::introspect(const QString& path) const
{
    if (path == kRoot)
        return QStringLiteral("<interface name=\"%1\"><method name=\"GetManagedObjects\">"
                              "<arg name=\"objects\" type=\"a{oa{sa{sv}}}\" direction=\"out\"/></method></interface>"
                              "<node name=\"service0\"/><node name=\"advertisement0\"/>")
            .arg(kObjectManager);
    if (path == kService)
        return QStringLiteral("<node name=\"char0\"/><node name=\"char1\"/>") +
               QStringLiteral("<interface name=\"%1\">%2</interface>")
                   .arg(kGattService, propertyXml(objects().value(kService).value(kGattService)));
    QString xml;
    const DBusInterfaces interfaces = objects().value(path);
    for (auto it = interfaces.cbegin(); it != interfaces.cend(); ++it) {
        const QString methods = it.key() == kGattCharacteristic ? QString::fromLatin1(kCharacteristicMethods)
                                                                : QStringLiteral("<method name=\"Release\"/>");
        xml +=
            QStringLiteral("<interface name=\"%1\">%2%3</interface>").arg(it.key(), methods, propertyXml(it.value()));
    }
    return xml;
}

bool RemoteGattApplication::handleMessage(const QDBusMessage& message, const QDBusConnection& connection)
{
    const QString path = message.path();
    const QString member = message.member();
    const QList<QVariant> arguments = message.arguments();
    QDBusMessage answer;
    if (path == kRoot && member == QLatin1String("GetManagedObjects")) {
        DBusManagedObjects managed;
        for (const QString& object : {kService, kRequest, kReply})
            managed.insert(QDBusObjectPath(object), objects().value(object));
        answer = message.createReply(QVariant::fromValue(managed));
    } else if (message.interface() == kProperties &&
               (member == QLatin1String("GetAll") || member == QLatin1String("Get"))) {
        const QVariantMap properties = objects().value(path).value(arguments.value(0).toString());
        if (member == QLatin1String("GetAll"))
            answer = message.createReply(properties);
        else if (properties.contains(arguments.value(1).toString()))
            answer =
                message.createReply(QVariant::fromValue(QDBusVariant(properties.value(arguments.value(1).toString()))));
        else
            answer = message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("no such property"));
    } else if ((path == kRequest || path == kReply) && message.interface() == kGattCharacteristic) {
        answer = characteristicCall(message, path == kRequest ? Characteristic::request : Characteristic::reply);
    } else if (path == kAdvertisement && member == QLatin1String("Release")) {
        connection.send(message.createReply());
        if (m_released)
            m_released(message.service());
        return true;
    } else {
        // Introspection and anything unknown: Qt answers.
        return false;
    }
    connection.send(answer);
    return true;
}

QDBusMessage RemoteGattApplication::characteristicCall(const QDBusMessage& message, Characteristic characteristic)
{
    Access access;
    access.characteristic = characteristic;
    access.sender = message.service();
    const QList<QVariant> arguments = message.arguments();
    if (message.member() == QLatin1String("WriteValue") && message.signature() == QLatin1String("aya{sv}")) {
        access.write = true;
        access.value = arguments.at(0).toByteArray();
        access.options = qdbus_cast<QVariantMap>(arguments.at(1));
    } else if (message.member() == QLatin1String("ReadValue") && message.signature() == QLatin1String("a{sv}")) {
        access.options = qdbus_cast<QVariantMap>(arguments.at(0));
    } else {
        return message.createErrorReply(QStringLiteral("org.bluez.Error.NotSupported"), QStringLiteral("unknown call"));
    }
    const RemoteReplyStore::Read result = m_handler(access);
    if (result.result != RemoteReplyStore::Result::success)
        return message.createErrorReply(errorName(result.result), QString());
    return access.write ? message.createReply() : message.createReply(result.value);
}

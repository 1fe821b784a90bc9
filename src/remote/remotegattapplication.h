#pragma once

#include "remotereplystore.h"

#include <QDBusVirtualObject>
#include <QVariantMap>
#include <functional>

// The remote's GATT application and advertisement as D-Bus objects for BlueZ: an object manager at the root, the
// primary service with its request (write) and reply (read) characteristics, and an advertisement that names the
// service and the local name "Lumoria". Characteristic accesses go to the handler; its result becomes the D-Bus
// answer that BlueZ turns into the attribute protocol's.
class RemoteGattApplication : public QDBusVirtualObject
{
  public:
    struct Access
    {
        RemoteReplyStore::Characteristic characteristic = RemoteReplyStore::Characteristic::request;
        bool write = false;
        QByteArray value;
        // BlueZ's options: "device" (object path of the central), "mtu", "offset", ...
        QVariantMap options;
        // The unique bus name of the caller.
        QString sender;
    };
    using Handler = std::function<RemoteReplyStore::Read(const Access&)>;
    // BlueZ let the advertisement go; the caller's unique bus name.
    using Released = std::function<void(const QString& sender)>;

    static inline const QString kRoot = QStringLiteral("/lumoria/remote");
    static inline const QString kService = kRoot + QStringLiteral("/service0");
    static inline const QString kRequest = kService + QStringLiteral("/char0");
    static inline const QString kReply = kService + QStringLiteral("/char1");
    static inline const QString kAdvertisement = kRoot + QStringLiteral("/advertisement0");

    static inline const QString kServiceUuid = QStringLiteral("495c1f96-87a7-43ba-b377-092d529b6034");
    static inline const QString kRequestUuid = QStringLiteral("495c1f97-87a7-43ba-b377-092d529b6034");
    static inline const QString kReplyUuid = QStringLiteral("495c1f98-87a7-43ba-b377-092d529b6034");
    static inline const QString kLocalName = QStringLiteral("Lumoria");

    explicit RemoteGattApplication(Handler handler, Released released = {}, QObject* parent = nullptr);

    // The D-Bus error name BlueZ maps back onto a result. BlueZ sends "not permitted" as the read or write
    // variant of its code by the kind of access, so a refused probe (a write) reaches the phone as
    // "write not permitted".
    static QString errorName(RemoteReplyStore::Result result);

    // Every interface with its properties, by object path, as the object manager reports them.
    static QMap<QString, QMap<QString, QVariantMap>> objects();

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  private:
    QDBusMessage characteristicCall(const QDBusMessage& message, RemoteReplyStore::Characteristic characteristic);

    Handler m_handler;
    Released m_released;
};

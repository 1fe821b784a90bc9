#pragma once

#include "dbusmanagedobjects.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QStringList>

// bluetoothd as far as the remote needs it: "org.bluez" with one adapter (hci0) that has the GATT and advertising
// managers, its power, and the registrations it received. It also calls the registered application as BlueZ
// would when a phone reads or writes.
class FakeBluez : public QDBusVirtualObject
{
  public:
    static inline const QString kAdapter = QStringLiteral("/org/bluez/hci0");

    explicit FakeBluez(const QString& busAddress, bool withAdapter = true, bool powered = true);
    ~FakeBluez() override;

    bool claimed() const { return m_claimed; }
    void setPowered(bool powered);
    // Plugs the adapter in or out.
    void setAdapter(bool present);
    // What RegisterApplication (or the given method) answers with from now on (empty: success).
    void failRegistration(const QString& errorName, const QString& text,
                          const QString& method = QStringLiteral("RegisterApplication"));

    // "RegisterApplication /lumoria/remote", in the order they came.
    const QStringList& calls() const { return m_calls; }
    // A call into the application that registered last, as BlueZ on behalf of a phone; waits for the answer.
    QDBusMessage callApplication(const QString& path, const QString& interface, const QString& method,
                                 const QVariantList& arguments);
    QDBusConnection& bus() { return m_bus; }

    QString introspect(const QString& path) const override;
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

  private:
    DBusInterfaces adapterInterfaces() const;

    QString m_name;
    QDBusConnection m_bus;
    bool m_claimed = false;
    bool m_withAdapter;
    bool m_powered;
    QString m_failName;
    QString m_failText;
    QString m_failMethod;
    QStringList m_calls;
    QString m_application;
};

// Waits for a call on the given connection and returns its answer (an error message when none came).
QDBusMessage callAndWait(QDBusConnection& bus, const QDBusMessage& call);

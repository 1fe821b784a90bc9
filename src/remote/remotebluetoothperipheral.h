#pragma once

#include "remotegattapplication.h"
#include "remotereplystore.h"
#include "remotetransport.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class QDBusMessage;
class QDBusPendingCall;
class QDBusServiceWatcher;

// The Bluetooth LE way in, through BlueZ on the system bus: publishes the remote's GATT application and
// advertisement on the first adapter, follows the adapter's power, and serves each phone's request and chunked
// reply from a RemoteReplyStore. Its state is the host's bluetooth text: "可发现", "蓝牙不可用" (no bluetoothd,
// no adapter, or the adapter off), the error BlueZ gave when publishing, or, once BlueZ has let the advertisement
// go, that it is no longer discoverable while it registers the advertisement again.
class RemoteBluetoothPeripheral : public QObject, public RemoteTransport
{
    Q_OBJECT
  public:
    struct Settings
    {
        // The bus BlueZ is on; empty: the system bus.
        std::function<QDBusConnection()> bus;
        // The first wait before advertising again after BlueZ let the advertisement go; it doubles up to a minute.
        int readvertiseMs = 5000;
    };

    static inline const QString kReleased = QStringLiteral("蓝牙广播已停止，稍后重试");

    RemoteBluetoothPeripheral();
    explicit RemoteBluetoothPeripheral(Settings settings, QObject* parent = nullptr);
    ~RemoteBluetoothPeripheral() override;

    RemotePeer::Link link() const override { return RemotePeer::Link::bluetooth; }
    void start(RemoteHost& host) override;
    void stop() override;

    // The adapter published on, e.g. "/org/bluez/hci0"; empty while none.
    QString adapter() const { return m_adapter; }
    const RemoteReplyStore& replies() const { return m_store; }

    // "AA:BB:CC:DD:EE:FF" from BlueZ's "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_FF"; other paths stay as they are.
    static QString deviceAddress(const QString& devicePath);

  private slots:
    void adapterChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    // An adapter plugged in or out.
    void objectsChanged(const QDBusMessage& message);

  private:
    void findAdapter();
    void adapterFound(const QDBusMessage& reply);
    void follow(bool powered);
    void publish();
    void advertise();
    void advertisementReleased(const QString& sender);
    void withdraw();
    void unavailable();
    void showError(const QDBusMessage& reply);
    void release();
    // Calls BlueZ and hands the answer to then, unless the peripheral has moved on by then.
    void callBluez(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments,
                   std::function<void(const QDBusMessage&)> then);
    RemoteReplyStore::Read access(const RemoteGattApplication::Access& access);

    Settings m_settings;
    QDBusConnection m_bus{QString()};
    RemoteGattApplication m_application;
    RemoteReplyStore m_store;
    QPointer<RemoteHost> m_host;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    // The unique bus name of bluetoothd: only it may read and write the characteristics.
    QString m_bluez;
    QString m_adapter;
    bool m_exported = false;
    bool m_published = false;
    bool m_advertised = false;
    // After a release: the advertisement is registered again on this timer, or when BlueZ's advertising changes.
    QTimer m_readvertise;
    int m_readvertiseMs = 0;
    // Moves on at every start, stop and power change, so late answers to earlier calls are dropped.
    quint64 m_generation = 0;
};

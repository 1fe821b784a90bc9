#include "remotebluetoothperipheral.h"

#include "dbusmanagedobjects.h"
#include "remotehost.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

namespace {

const QString kBluez = QStringLiteral("org.bluez");
const QString kAdapter = QStringLiteral("org.bluez.Adapter1");
const QString kGattManager = QStringLiteral("org.bluez.GattManager1");
const QString kAdvertisingManager = QStringLiteral("org.bluez.LEAdvertisingManager1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kUnavailable = QStringLiteral("蓝牙不可用");
// The smallest ATT MTU, for a BlueZ that does not say; a notification carries the MTU less 3 bytes.
constexpr int kDefaultMtu = 23;
constexpr int kAttHeader = 3;

} // namespace

RemoteBluetoothPeripheral::RemoteBluetoothPeripheral() : RemoteBluetoothPeripheral(Settings{}) {}

RemoteBluetoothPeripheral::RemoteBluetoothPeripheral(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)),
      m_application([this](const RemoteGattApplication::Access& request) { return access(request); },
                    [this](const QString& sender) { advertisementReleased(sender); })
{
    m_readvertise.setSingleShot(true);
    connect(&m_readvertise, &QTimer::timeout, this, &RemoteBluetoothPeripheral::advertise);
}

RemoteBluetoothPeripheral::~RemoteBluetoothPeripheral()
{
    stop();
}

QString RemoteBluetoothPeripheral::deviceAddress(const QString& devicePath)
{
    const QString last = devicePath.section(QLatin1Char('/'), -1);
    if (!last.startsWith(QLatin1String("dev_")))
        return devicePath;
    return last.mid(4).replace(QLatin1Char('_'), QLatin1Char(':'));
}

void RemoteBluetoothPeripheral::start(RemoteHost& host)
{
    stop();
    m_host = &host;
    m_bus = m_settings.bus ? m_settings.bus() : QDBusConnection::systemBus();
    if (!m_bus.isConnected()) {
        unavailable();
        return;
    }
    m_exported = m_bus.registerVirtualObject(RemoteGattApplication::kRoot, &m_application, QDBusConnection::SubPath);
    if (!m_exported) {
        m_host->setBluetooth(m_bus.lastError().message());
        return;
    }
    // bluetoothd restarting is Bluetooth coming back: look for the adapter again.
    m_watcher = std::make_unique<QDBusServiceWatcher>(kBluez, m_bus, QDBusServiceWatcher::WatchForOwnerChange);
    connect(m_watcher.get(), &QDBusServiceWatcher::serviceOwnerChanged, this, [this] {
        release();
        findAdapter();
    });
    for (const char* signal : {"InterfacesAdded", "InterfacesRemoved"})
        m_bus.connect(kBluez, QStringLiteral("/"), kObjectManager, QString::fromLatin1(signal), this,
                      SLOT(objectsChanged(QDBusMessage)));
    findAdapter();
}

void RemoteBluetoothPeripheral::stop()
{
    release();
    m_watcher.reset();
    if (m_bus.isConnected())
        for (const char* signal : {"InterfacesAdded", "InterfacesRemoved"})
            m_bus.disconnect(kBluez, QStringLiteral("/"), kObjectManager, QString::fromLatin1(signal), this,
                             SLOT(objectsChanged(QDBusMessage)));
    if (m_exported)
        m_bus.unregisterObject(RemoteGattApplication::kRoot, QDBusConnection::UnregisterTree);
    m_exported = false;
    m_host = nullptr;
}

void RemoteBluetoothPeripheral::release()
{
    ++m_generation;
    withdraw();
    if (!m_adapter.isEmpty())
        m_bus.disconnect(kBluez, m_adapter, kProperties, QStringLiteral("PropertiesChanged"), this,
                         SLOT(adapterChanged(QString, QVariantMap, QStringList)));
    m_adapter.clear();
    m_bluez.clear();
    m_store.clear();
}

void RemoteBluetoothPeripheral::findAdapter()
{
    callBluez(QStringLiteral("/"), kObjectManager, QStringLiteral("GetManagedObjects"), {},
              [this](const QDBusMessage& reply) { adapterFound(reply); });
}

void RemoteBluetoothPeripheral::adapterFound(const QDBusMessage& reply)
{
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        unavailable();
        return;
    }
    registerManagedObjectTypes();
    const DBusManagedObjects objects = qdbus_cast<DBusManagedObjects>(reply.arguments().at(0));
    for (auto it = objects.cbegin(); it != objects.cend(); ++it) {
        const DBusInterfaces& interfaces = it.value();
        if (!interfaces.contains(kAdapter) || !interfaces.contains(kGattManager) ||
            !interfaces.contains(kAdvertisingManager))
            continue;
        m_bluez = reply.service();
        m_adapter = it.key().path();
        m_bus.connect(kBluez, m_adapter, kProperties, QStringLiteral("PropertiesChanged"), this,
                      SLOT(adapterChanged(QString, QVariantMap, QStringList)));
        follow(interfaces.value(kAdapter).value(QStringLiteral("Powered")).toBool());
        return;
    }
    unavailable();
}

void RemoteBluetoothPeripheral::adapterChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
{
    if (!m_host)
        return;
    const auto powered = changed.find(QStringLiteral("Powered"));
    if (interface == kAdapter && powered != changed.end())
        follow(powered->toBool());
    // Another advertiser may have given its place up.
    if (interface == kAdvertisingManager && m_readvertise.isActive()) {
        m_readvertise.stop();
        advertise();
    }
}

void RemoteBluetoothPeripheral::objectsChanged(const QDBusMessage& message)
{
    const QString path = qvariant_cast<QDBusObjectPath>(message.arguments().value(0)).path();
    const bool added = message.member() == QLatin1String("InterfacesAdded");
    // The adapter in use went away, or one came while there was none: look again.
    if (!m_host || (added ? !m_adapter.isEmpty() : path != m_adapter))
        return;
    release();
    findAdapter();
}

void RemoteBluetoothPeripheral::follow(bool powered)
{
    ++m_generation;
    withdraw();
    m_store.clear();
    if (powered)
        publish();
    else
        unavailable();
}

void RemoteBluetoothPeripheral::publish()
{
    m_published = true;
    callBluez(m_adapter, kGattManager, QStringLiteral("RegisterApplication"),
              {QVariant::fromValue(QDBusObjectPath(RemoteGattApplication::kRoot)), QVariantMap()},
              [this](const QDBusMessage& reply) {
                  if (reply.type() != QDBusMessage::ReplyMessage)
                      return showError(reply);
                  advertise();
              });
}

void RemoteBluetoothPeripheral::advertise()
{
    callBluez(m_adapter, kAdvertisingManager, QStringLiteral("RegisterAdvertisement"),
              {QVariant::fromValue(QDBusObjectPath(RemoteGattApplication::kAdvertisement)), QVariantMap()},
              [this](const QDBusMessage& reply) {
                  if (reply.type() == QDBusMessage::ReplyMessage) {
                      m_advertised = true;
                      m_readvertiseMs = 0;
                      return m_host->setBluetooth(QStringLiteral("可发现"));
                  }
                  showError(reply);
                  // A failed first publication stays as it is; one after a release is tried again, less often.
                  if (m_readvertiseMs > 0) {
                      m_readvertiseMs = std::min(m_readvertiseMs * 2, 60'000);
                      m_readvertise.start(m_readvertiseMs);
                  }
              });
}

// BlueZ also releases the advertisement after our own unregistering; only a release of the one registered counts.
void RemoteBluetoothPeripheral::advertisementReleased(const QString& sender)
{
    if (!m_host || sender != m_bluez || !std::exchange(m_advertised, false))
        return;
    m_host->setBluetooth(kReleased);
    m_readvertiseMs = std::max(m_settings.readvertiseMs, 1);
    m_readvertise.start(m_readvertiseMs);
}

void RemoteBluetoothPeripheral::withdraw()
{
    m_advertised = false;
    m_readvertise.stop();
    m_readvertiseMs = 0;
    if (!std::exchange(m_published, false) || m_adapter.isEmpty())
        return;
    // Nobody waits for these: a failure only means BlueZ had already let go.
    for (const auto& [interface, method, path] :
         {std::tuple{kAdvertisingManager, "UnregisterAdvertisement", RemoteGattApplication::kAdvertisement},
          std::tuple{kGattManager, "UnregisterApplication", RemoteGattApplication::kRoot}}) {
        QDBusMessage call = QDBusMessage::createMethodCall(kBluez, m_adapter, interface, QString::fromLatin1(method));
        call << QVariant::fromValue(QDBusObjectPath(path));
        m_bus.asyncCall(call);
    }
}

void RemoteBluetoothPeripheral::unavailable()
{
    m_store.clear();
    if (m_host)
        m_host->setBluetooth(kUnavailable);
}

void RemoteBluetoothPeripheral::showError(const QDBusMessage& reply)
{
    const QString text = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
    m_host->setBluetooth(text);
}

void RemoteBluetoothPeripheral::callBluez(const QString& path, const QString& interface, const QString& method,
                                          const QVariantList& arguments, std::function<void(const QDBusMessage&)> then)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kBluez, path, interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, generation = m_generation, then = std::move(then)] {
                watcher->deleteLater();
                if (generation == m_generation && m_host)
                    then(watcher->reply());
            });
}

RemoteReplyStore::Read RemoteBluetoothPeripheral::access(const RemoteGattApplication::Access& request)
{
    using Result = RemoteReplyStore::Result;
    if (!m_host || m_bluez.isEmpty() || request.sender != m_bluez)
        return {Result::readNotPermitted, {}};
    const QString device = qvariant_cast<QDBusObjectPath>(request.options.value(QStringLiteral("device"))).path();
    if (device.isEmpty())
        return {Result::requestNotSupported, {}};
    const int offset = request.options.value(QStringLiteral("offset"), 0).toInt();
    const double now = m_host->uptime();
    if (request.write) {
        // Each phone is its own peer, so one guessing phone is locked out alone.
        const RemotePeer peer{RemotePeer::Link::bluetooth, deviceAddress(device)};
        QPointer<RemoteHost> host = m_host;
        const Result result = m_store.write(device, request.characteristic, offset, request.value, now,
                                            [&](const QByteArray& bytes) { return host->reply(bytes, peer); });
        return {result, {}};
    }
    const int mtu = request.options.value(QStringLiteral("mtu"), kDefaultMtu).toInt();
    return m_store.read(device, request.characteristic, offset, mtu - kAttHeader, now);
}

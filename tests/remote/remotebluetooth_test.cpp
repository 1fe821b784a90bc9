#include "dbusmanagedobjects.h"
#include "eventwait.h"
#include "fakebluez.h"
#include "privatesessionbus.h"
#include "remotebluetoothperipheral.h"
#include "remotehostfixture.h"

#include <QDBusObjectPath>

namespace {

using App = RemoteGattApplication;

const QString kCharacteristic = "org.bluez.GattCharacteristic1";
const QString kUnavailable = "蓝牙不可用";
const QString kDiscoverable = "可发现";
const QString kPhoneA = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_01";
const QString kPhoneB = "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_02";

// A string array inside a variant arrives as a D-Bus argument still to be read.
QStringList strings(const QVariant& value)
{
    return qdbus_cast<QStringList>(value);
}

QVariantMap phoneOptions(const QString& device, int mtu = 23, int offset = 0)
{
    return {{"device", QVariant::fromValue(QDBusObjectPath(device))},
            {"mtu", QVariant::fromValue(quint16(mtu))},
            {"offset", QVariant::fromValue(quint16(offset))}};
}

class RemoteBluetoothTest : public RemoteHostTest
{
  protected:
    void SetUp() override
    {
        RemoteHostTest::SetUp();
        QString why;
        if (!bus.start(why))
            GTEST_SKIP() << "no private D-Bus daemon: " << why.toStdString();
    }
    void TearDown() override
    {
        if (host)
            host->stop();
        QDBusConnection::disconnectFromBus(kConnection);
        RemoteHostTest::TearDown();
    }

    // Starts the remote with its Bluetooth peripheral on the private bus and waits for its first answer.
    RemoteBluetoothPeripheral* startPeripheral(const QString& expected)
    {
        RemoteBluetoothPeripheral::Settings settings;
        settings.bus = [address = bus.address()] { return QDBusConnection::connectToBus(address, kConnection); };
        settings.readvertiseMs = readvertiseMs;
        auto made = std::make_unique<RemoteBluetoothPeripheral>(settings);
        RemoteBluetoothPeripheral* peripheral = made.get();
        host->addTransport(std::move(made));
        host->start(true);
        EXPECT_TRUE(waitUntil([&] { return host->bluetooth() == expected; }, 20000)) << host->bluetooth().toStdString();
        return peripheral;
    }

    QDBusMessage write(FakeBluez& bluez, const QByteArray& value, const QString& device = kPhoneA)
    {
        return bluez.callApplication(App::kRequest, kCharacteristic, "WriteValue", {value, phoneOptions(device)});
    }
    QDBusMessage read(FakeBluez& bluez, const QString& device = kPhoneA, int mtu = 23, int offset = 0)
    {
        return bluez.callApplication(App::kReply, kCharacteristic, "ReadValue", {phoneOptions(device, mtu, offset)});
    }
    // Reads as a phone does until the flag says the end; the chunks' payloads joined, and how many reads it took.
    QByteArray readReply(FakeBluez& bluez, int mtu, int* reads = nullptr, const QString& device = kPhoneA)
    {
        QByteArray joined;
        for (int i = 1; i < 1000; ++i) {
            const QDBusMessage got = read(bluez, device, mtu);
            EXPECT_EQ(got.type(), QDBusMessage::ReplyMessage) << got.errorName().toStdString();
            const QByteArray value = got.arguments().value(0).toByteArray();
            if (value.isEmpty())
                break;
            EXPECT_LE(value.size(), mtu - 3);
            joined += value.mid(1);
            if (reads)
                *reads = i;
            if (value.at(0) == '\0')
                break;
        }
        return joined;
    }

    static inline const QString kConnection = "lumoria-remote-ble-test";
    PrivateSessionBus bus;
    int readvertiseMs = 5000;
};

TEST_F(RemoteBluetoothTest, WithoutBluetoothTheHostSaysSoAndKeepsAnswering)
{
    struct Row
    {
        const char* what;
        bool bluez;
        bool adapter;
        bool powered;
    };
    for (const Row& row : {Row{"no bluetoothd", false, false, false}, Row{"no adapter", true, false, false},
                           Row{"adapter off", true, true, false}}) {
        SCOPED_TRACE(row.what);
        host = makeHost(clock);
        std::unique_ptr<FakeBluez> bluez;
        if (row.bluez)
            bluez = std::make_unique<FakeBluez>(bus.address(), row.adapter, row.powered);
        startPeripheral(kUnavailable);
        EXPECT_FALSE(withCode(RemoteAction::status).error.has_value());
        host->stop();
        QDBusConnection::disconnectFromBus(kConnection);
    }

    // No system bus at all, as on a build machine.
    host = makeHost(clock);
    host->addTransport(std::make_unique<RemoteBluetoothPeripheral>(
        RemoteBluetoothPeripheral::Settings{[] { return QDBusConnection(QStringLiteral("no such bus")); }}));
    host->start(true);
    EXPECT_EQ(host->bluetooth(), kUnavailable);
}

TEST_F(RemoteBluetoothTest, PublishesTheServiceAndTheAdvertisementBlueZReads)
{
    FakeBluez bluez(bus.address());
    ASSERT_TRUE(bluez.claimed());
    startPeripheral(kDiscoverable);
    EXPECT_EQ(bluez.calls(),
              QStringList({"RegisterApplication " + App::kRoot, "RegisterAdvertisement " + App::kAdvertisement}));

    registerManagedObjectTypes();
    const QDBusMessage managed =
        bluez.callApplication(App::kRoot, "org.freedesktop.DBus.ObjectManager", "GetManagedObjects", {});
    ASSERT_EQ(managed.type(), QDBusMessage::ReplyMessage) << managed.errorMessage().toStdString();
    const DBusManagedObjects objects = qdbus_cast<DBusManagedObjects>(managed.arguments().value(0));
    const QVariantMap service = objects.value(QDBusObjectPath(App::kService)).value("org.bluez.GattService1");
    EXPECT_EQ(service.value("UUID").toString().toUpper(), "495C1F96-87A7-43BA-B377-092D529B6034");
    EXPECT_TRUE(service.value("Primary").toBool());
    struct Row
    {
        QString path;
        QString uuid;
        QStringList flags;
    };
    for (const Row& row : {Row{App::kRequest, "495C1F97-87A7-43BA-B377-092D529B6034", {"write"}},
                           Row{App::kReply, "495C1F98-87A7-43BA-B377-092D529B6034", {"read"}}}) {
        const QVariantMap characteristic = objects.value(QDBusObjectPath(row.path)).value(kCharacteristic);
        EXPECT_EQ(characteristic.value("UUID").toString().toUpper(), row.uuid);
        EXPECT_EQ(strings(characteristic.value("Flags")), row.flags);
        EXPECT_EQ(qvariant_cast<QDBusObjectPath>(characteristic.value("Service")).path(), App::kService);
        const QDBusMessage introspection =
            bluez.callApplication(row.path, "org.freedesktop.DBus.Introspectable", "Introspect", {});
        const QString xml = introspection.arguments().value(0).toString();
        EXPECT_TRUE(xml.contains(kCharacteristic) && xml.contains("WriteValue") && xml.contains("ReadValue"))
            << xml.toStdString();
    }

    const QDBusMessage advertisement = bluez.callApplication(App::kAdvertisement, "org.freedesktop.DBus.Properties",
                                                             "GetAll", {QString("org.bluez.LEAdvertisement1")});
    const QVariantMap advertised = qdbus_cast<QVariantMap>(advertisement.arguments().value(0));
    EXPECT_EQ(advertised.value("LocalName").toString(), "Lumoria");
    EXPECT_EQ(advertised.value("Type").toString(), "peripheral");
    EXPECT_EQ(strings(advertised.value("ServiceUUIDs")), QStringList{App::kServiceUuid});
}

TEST_F(RemoteBluetoothTest, APhoneWritesARequestAndReadsTheReplyInChunks)
{
    FakeBluez bluez(bus.address());
    RemoteBluetoothPeripheral* peripheral = startPeripheral(kDiscoverable);

    EXPECT_EQ(write(bluez, QByteArray(1, '\0')).errorName(), "org.bluez.Error.NotPermitted") << "probe, no reply";
    const QDBusMessage written = write(bluez, request(RemoteAction::status, host->code()).encode());
    ASSERT_EQ(written.type(), QDBusMessage::ReplyMessage) << written.errorName().toStdString();
    EXPECT_EQ(write(bluez, QByteArray(1, '\0')).type(), QDBusMessage::ReplyMessage) << "probe, a reply waits";
    EXPECT_EQ(read(bluez, kPhoneB).errorName(), "org.bluez.Error.NotPermitted") << "another phone has none";
    EXPECT_EQ(read(bluez, kPhoneA, 23, 4).errorName(), "org.bluez.Error.InvalidOffset");

    int reads = 0;
    const QByteArray reply = readReply(bluez, 23, &reads);
    const std::optional<RemoteStatus> status = RemoteStatus::decode(reply);
    ASSERT_TRUE(status) << reply.toStdString();
    EXPECT_FALSE(status->error.has_value());
    EXPECT_EQ(reads, (reply.size() + 18) / 19) << "19 bytes a read beside the flag at the smallest MTU";
    EXPECT_EQ(read(bluez).errorName(), "org.bluez.Error.NotPermitted") << "read to the end";

    struct Refused
    {
        const char* what;
        QString path;
        QString method;
        QVariantList arguments;
        QString error;
    };
    for (const Refused& row : {
             Refused{"a write of the reply",
                     App::kReply,
                     "WriteValue",
                     {QByteArray("x"), phoneOptions(kPhoneA)},
                     "org.bluez.Error.NotSupported"},
             Refused{"a part of a long write",
                     App::kRequest,
                     "WriteValue",
                     {QByteArray("x"), phoneOptions(kPhoneA, 23, 8)},
                     "org.bluez.Error.NotSupported"},
             Refused{"no device",
                     App::kRequest,
                     "WriteValue",
                     {QByteArray("x"), QVariantMap()},
                     "org.bluez.Error.NotSupported"},
             Refused{"a read of the request",
                     App::kRequest,
                     "ReadValue",
                     {phoneOptions(kPhoneA)},
                     "org.bluez.Error.NotPermitted"},
         }) {
        EXPECT_EQ(bluez.callApplication(row.path, kCharacteristic, row.method, row.arguments).errorName(), row.error)
            << row.what;
    }

    // Only bluetoothd speaks for phones.
    const QString stranger = "stranger";
    QDBusConnection other = QDBusConnection::connectToBus(bus.address(), stranger);
    QDBusMessage forged =
        QDBusMessage::createMethodCall(written.service(), App::kRequest, kCharacteristic, "WriteValue");
    forged << QByteArray("x") << phoneOptions(kPhoneA);
    EXPECT_EQ(callAndWait(other, forged).errorName(), "org.bluez.Error.NotPermitted");
    QDBusConnection::disconnectFromBus(stranger);
    EXPECT_EQ(peripheral->replies().size(), 0);
}

TEST_F(RemoteBluetoothTest, WrongCodesLockOutTheGuessingPhoneAlone)
{
    FakeBluez bluez(bus.address());
    startPeripheral(kDiscoverable);
    for (int i = 0; i < RemoteAttemptLimits{}.failuresPerPeer; ++i) {
        ASSERT_EQ(write(bluez, request(RemoteAction::status, "00000000x").encode()).type(), QDBusMessage::ReplyMessage);
        readReply(bluez, 185);
    }
    const QList<RemoteAttemptGuard::Lockout> lockouts = host->lockouts();
    ASSERT_EQ(lockouts.size(), 1);
    EXPECT_EQ(lockouts[0].peer, (RemotePeer{RemotePeer::Link::bluetooth, "AA:BB:CC:DD:EE:01"}));

    write(bluez, request(RemoteAction::status, host->code()).encode(), kPhoneB);
    const std::optional<RemoteStatus> status = RemoteStatus::decode(readReply(bluez, 517, nullptr, kPhoneB));
    ASSERT_TRUE(status);
    EXPECT_FALSE(status->error.has_value()) << "the other phone is still served";
}

TEST_F(RemoteBluetoothTest, PowerOffDropsRepliesAndPowerOnPublishesAgain)
{
    FakeBluez bluez(bus.address());
    RemoteBluetoothPeripheral* peripheral = startPeripheral(kDiscoverable);
    write(bluez, request(RemoteAction::status, host->code()).encode());
    ASSERT_EQ(peripheral->replies().size(), 1);

    bluez.setPowered(false);
    ASSERT_TRUE(waitUntil([&] { return host->bluetooth() == kUnavailable; }, 20000));
    EXPECT_EQ(peripheral->replies().size(), 0);
    runEvents(100);
    EXPECT_EQ(host->bluetooth(), kUnavailable) << "BlueZ releasing what we unregistered changes nothing";
    bluez.setPowered(true);
    ASSERT_TRUE(waitUntil([&] { return host->bluetooth() == kDiscoverable; }, 20000));
    EXPECT_TRUE(waitUntil([&] { return bluez.calls().size() == 6; }, 20000));
    EXPECT_EQ(bluez.calls().mid(2),
              QStringList({"UnregisterAdvertisement " + App::kAdvertisement, "UnregisterApplication " + App::kRoot,
                           "RegisterApplication " + App::kRoot, "RegisterAdvertisement " + App::kAdvertisement}));
    EXPECT_EQ(write(bluez, QByteArray(1, '\0')).errorName(), "org.bluez.Error.NotPermitted");

    host->stop();
    EXPECT_TRUE(waitUntil([&] { return bluez.calls().size() == 8; }, 20000)) << "stopping withdraws both";
    EXPECT_EQ(host->bluetooth(), kDiscoverable) << "the last text stays";
}

TEST_F(RemoteBluetoothTest, AnAdapterPluggedInLaterIsUsedAndOneUnpluggedIsLetGo)
{
    FakeBluez bluez(bus.address(), false);
    RemoteBluetoothPeripheral* peripheral = startPeripheral(kUnavailable);
    bluez.setAdapter(true);
    ASSERT_TRUE(waitUntil([&] { return host->bluetooth() == kDiscoverable; }, 20000));
    EXPECT_EQ(peripheral->adapter(), FakeBluez::kAdapter);
    bluez.setAdapter(false);
    ASSERT_TRUE(waitUntil([&] { return host->bluetooth() == kUnavailable; }, 20000));
    EXPECT_EQ(peripheral->adapter(), QString());
}

TEST_F(RemoteBluetoothTest, AnAdvertisementBlueZReleasesIsNoLongerShownAsDiscoverableAndIsRegisteredAgain)
{
    FakeBluez bluez(bus.address());
    readvertiseMs = 100;
    startPeripheral(kDiscoverable);
    QStringList shown;
    QObject::connect(host.get(), &RemoteHost::bluetoothChanged, [&] { shown << host->bluetooth(); });

    // Only bluetoothd may take the advertisement away.
    const QString stranger = "stranger";
    QDBusConnection other = QDBusConnection::connectToBus(bus.address(), stranger);
    callAndWait(other, QDBusMessage::createMethodCall(QDBusConnection(kConnection).baseService(), App::kAdvertisement,
                                                      "org.bluez.LEAdvertisement1", "Release"));
    QDBusConnection::disconnectFromBus(stranger);
    EXPECT_TRUE(shown.isEmpty());

    bluez.failRegistration("org.bluez.Error.NotPermitted", "Maximum advertisements reached", "RegisterAdvertisement");
    const auto release = [&] {
        bluez.callApplication(App::kAdvertisement, "org.bluez.LEAdvertisement1", "Release", {});
    };
    release();
    ASSERT_TRUE(waitUntil([&] { return shown.size() >= 2; }, 20000)) << shown.join(", ").toStdString();
    bluez.failRegistration({}, {});
    ASSERT_TRUE(waitUntil([&] { return host->bluetooth() == kDiscoverable; }, 20000));
    EXPECT_EQ(shown.mid(0, 2), QStringList({RemoteBluetoothPeripheral::kReleased, "Maximum advertisements reached"}))
        << "released, then a retry that BlueZ refused";
    EXPECT_EQ(bluez.calls().count("RegisterAdvertisement " + App::kAdvertisement), 3);
}

TEST_F(RemoteBluetoothTest, AFailedRegistrationShowsBlueZsError)
{
    FakeBluez bluez(bus.address());
    bluez.failRegistration("org.bluez.Error.AlreadyExists", "Already Exists");
    startPeripheral("Already Exists");
}

} // namespace

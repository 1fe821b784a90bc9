#include "avahiannouncer.h"
#include "privateavahinetwork.h"
#include "remotetcpfixture.h"

#include <QSysInfo>

// Runs in a network namespace of its own (loopback only), with its own system bus and Avahi daemon.
class RemoteAdvertisement : public RemoteTcpTest
{
  protected:
    void SetUp() override
    {
        if (!PrivateAvahiNetwork::inside())
            return;
        RemoteTcpTest::SetUp();
        QString why;
        ASSERT_TRUE(network.startBus(why)) << why.toStdString();
    }
    // Outside the namespace a test runs itself again inside one.
    static void runInsideAPrivateNetwork()
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        QString output, whyNot;
        const bool passed = PrivateAvahiNetwork::runInside(
            QStringLiteral("%1.%2").arg(test->test_suite_name(), test->name()), output, whyNot);
        if (!whyNot.isEmpty())
            GTEST_SKIP() << "needs a private network namespace: " << whyNot.toStdString();
        EXPECT_TRUE(passed) << output.toStdString();
    }
    RemoteTcpListener* announcedListener(RemoteHost& on)
    {
        settings.address = QHostAddress::LocalHost;
        settings.port = 0;
        auto made = std::make_unique<RemoteTcpListener>(settings, std::make_unique<AvahiAnnouncer>());
        RemoteTcpListener* added = made.get();
        on.addTransport(std::move(made));
        return added;
    }
    static AvahiAnnouncer& announcerOf(const RemoteTcpListener* listener)
    {
        return *static_cast<AvahiAnnouncer*>(listener->announcer());
    }
    QStringList found(const QString& entry)
    {
        QStringList entries;
        waitUntil(
            [&] {
                entries = network.browse(RemoteAnnouncer::kServiceType);
                return entries.contains(entry);
            },
            60000);
        return entries;
    }

    PrivateAvahiNetwork network;
};

TEST_F(RemoteAdvertisement, IsFoundByAvahiBrowseAndServesTCPWhileTheDaemonIsMissing)
{
    if (!PrivateAvahiNetwork::inside())
        return runInsideAPrivateNetwork();
    listener = announcedListener(*host);
    host->start(true);
    ASSERT_TRUE(waitUntil([&] { return host->lan().contains("Avahi"); }, 30000)) << host->lan().toStdString();
    QTcpSocket* phone = connectPhone();
    phone->write(R"({"code":")" + host->code().toUtf8() +
                 R"(","action":"status"})"
                 "\n");
    EXPECT_TRUE(untilClosed(phone).contains(R"("paused":false)")) << "TCP serves without the daemon";

    QString why;
    ASSERT_TRUE(network.startAvahi(why)) << why.toStdString();
    ASSERT_TRUE(waitUntil([&] { return announcerOf(listener).isPublished(); }, 60000)) << host->lan().toStdString();
    EXPECT_TRUE(host->lan().endsWith(".local")) << host->lan().toStdString();
    const QString name = announcerOf(listener).serviceName();
    EXPECT_EQ(name, QSysInfo::machineHostName());
    const QString entry = QStringLiteral("%1;127.0.0.1;%2").arg(name).arg(listener->port());
    EXPECT_TRUE(found(entry).contains(entry));

    // A second console under the same name is found under Avahi's next one.
    std::unique_ptr<RemoteHost> second = makeHost(clock);
    RemoteTcpListener* secondListener = announcedListener(*second);
    second->start(true);
    ASSERT_TRUE(waitUntil([&] { return announcerOf(secondListener).isPublished(); }, 60000));
    const QString other = announcerOf(secondListener).serviceName();
    EXPECT_NE(other, name);
    const QString otherEntry = QStringLiteral("%1;127.0.0.1;%2").arg(other).arg(secondListener->port());
    const QStringList both = found(otherEntry);
    EXPECT_TRUE(both.contains(entry) && both.contains(otherEntry)) << both.join(" | ").toStdString();
}

TEST_F(RemoteTcpTest, WithoutASystemBusTheHostNameSaysSoAndTCPServes)
{
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/lumoria-test-bus");
    settings.address = QHostAddress::LocalHost;
    settings.port = 0;
    auto made = std::make_unique<RemoteTcpListener>(settings, std::make_unique<AvahiAnnouncer>());
    listener = made.get();
    host->addTransport(std::move(made));
    host->start(true);
    EXPECT_TRUE(host->lan().startsWith(QSysInfo::machineHostName() + " · ")) << host->lan().toStdString();
    QTcpSocket* phone = connectPhone();
    phone->write(R"({"code":")" + host->code().toUtf8() +
                 R"(","action":"status"})"
                 "\n");
    EXPECT_TRUE(untilClosed(phone).contains(R"("paused":false)"));
}

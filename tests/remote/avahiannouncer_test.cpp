#include "avahiannouncer.h"
#include "privateavahinetwork.h"
#include "remotetcpfixture.h"

#include <QRegularExpression>
#include <QSysInfo>
#include <avahi-common/error.h>

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
    EXPECT_EQ(host->lan(), QSysInfo::machineHostName() + " · 未找到 Avahi 服务，手机无法自动发现此电脑");
    QTcpSocket* phone = connectPhone();
    phone->write(R"({"code":")" + host->code().toUtf8() +
                 R"(","action":"status"})"
                 "\n");
    EXPECT_TRUE(untilClosed(phone).contains(R"("paused":false)"));
}

// Avahi's texts are English: the failures an operator meets read in Chinese, the rest keep Avahi's text as a detail.
TEST(AvahiFailureText, CommonFailuresInChineseAndAvahisTextOnlyAsADetail)
{
    const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
    for (const int error : {AVAHI_ERR_NO_DAEMON, AVAHI_ERR_COLLISION, AVAHI_ERR_BAD_STATE}) {
        QString text = AvahiAnnouncer::failureText(error);
        SCOPED_TRACE(text.toStdString());
        EXPECT_FALSE(text.remove(QStringLiteral("Avahi")).contains(latinWord));
    }
    for (const int error : {AVAHI_ERR_ACCESS_DENIED, AVAHI_ERR_DBUS_ERROR}) {
        const QString text = AvahiAnnouncer::failureText(error);
        EXPECT_TRUE(text.startsWith(QStringLiteral("无法广播"))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("（Avahi：%1）").arg(avahi_strerror(error)))) << text.toStdString();
    }
}

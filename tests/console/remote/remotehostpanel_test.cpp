#include "avahiannouncer.h"
#include "lumostyle.h"
#include "remotehostpanel.h"
#include "remotepairingrow.h"
#include "remotetcpfixture.h"
#include "singlewindows.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

// The panel over a host that listens on 127.0.0.1, shown offscreen at the window's width.
class RemotePanel : public RemoteTcpTest
{
  protected:
    RemotePanel()
    {
        makeRemoteHost = [this](Engine*) { return host.get(); };
    }
    void SetUp() override
    {
        RemoteTcpTest::SetUp();
        startListening();
        host->stop();
        applyLumoStyle(*qApp);
        windows = std::make_unique<SingleWindows>(*engine);
        windows->open("remote-control");
        panel = windows->window("remote-control")->findChild<RemoteHostPanel*>();
        ASSERT_NE(panel, nullptr);
    }
    bool shows(const QString& text) const
    {
        QCoreApplication::processEvents();
        for (const QLabel* label : panel->findChildren<QLabel*>())
            if (label->isVisibleTo(panel) && label->text().contains(text))
                return true;
        return false;
    }
    void switchTo(bool on)
    {
        if (panel->toggle()->isChecked() != on)
            QTest::mouseClick(panel->toggle(), Qt::LeftButton, {}, QPoint(8, panel->toggle()->height() / 2));
    }
    QStringList rowNames() const
    {
        QStringList names;
        for (const RemotePairingRow* row : panel->pairingRows())
            names << row->pairing().name;
        return names;
    }

    std::unique_ptr<SingleWindows> windows;
    RemoteHostPanel* panel = nullptr;
};

TEST_F(RemotePanel, TheSwitchStartsAndStopsTheRemoteAndTheDetailsFollowIt)
{
    EXPECT_TRUE(shows("移动遥控"));
    EXPECT_FALSE(shows("连接码"));
    switchTo(true);
    ASSERT_TRUE(host->enabled());
    for (const QString text : {"主机名", "蓝牙", "连接码", "在手机上搜索此电脑", "01234567"})
        EXPECT_TRUE(shows(text)) << text.toStdString();
    EXPECT_TRUE(shows(host->lan()));

    pair(deviceID());
    switchTo(false);
    EXPECT_FALSE(host->enabled());
    EXPECT_TRUE(host->code().isEmpty());
    EXPECT_TRUE(host->pending().isEmpty());
    for (const QString text : {"主机名", "连接码", "在手机上搜索此电脑"})
        EXPECT_FALSE(shows(text)) << text.toStdString();
    EXPECT_TRUE(panel->pairingRows().isEmpty());

    switchTo(true);
    EXPECT_TRUE(shows("00424242")) << "a new code";
    host->stop();
    EXPECT_FALSE(panel->toggle()->isChecked()) << "the switch follows the host";
}

TEST_F(RemotePanel, WaitingPhonesAreRowsInArrivalOrderAndAnsweringOneRemovesOnlyIt)
{
    switchTo(true);
    const QString first = deviceID();
    const QString second = deviceID();
    pair(first, network("192.168.1.20"), QStringLiteral("舞台手机"));
    pair(second, network("192.168.1.31"),
         QStringLiteral("<b>导演的平板</b> 这是一个很长的设备名称，用来看它在面板里怎样换行显示"));
    for (int i = 0; i < 6; ++i)
        ask(request(RemoteAction::status, QStringLiteral("99999999")), network("10.0.0.66"));
    ASSERT_EQ(rowNames().size(), 2);
    EXPECT_EQ(rowNames()[0], QStringLiteral("舞台手机"));
    EXPECT_TRUE(shows(QStringLiteral("网络 192.168.1.31")));
    EXPECT_TRUE(shows(QStringLiteral("<b>导演的平板</b>"))) << "a phone's name is shown as typed";
    EXPECT_TRUE(shows(QStringLiteral("5 次")));
    EXPECT_TRUE(shows(QStringLiteral("网络 10.0.0.66 · 暂停 30 秒")));

    QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
    windows->window("remote-control")->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/remote-panel-two-phones.png"));

    RemotePairingRow* staying = panel->pairingRows()[0];
    QTest::mouseClick(panel->pairingRows()[1]->denyButton(), Qt::LeftButton);
    EXPECT_EQ(panel->pairingRows(), QList<RemotePairingRow*>{staying});
    EXPECT_TRUE(host->denied().contains(second));
    QTest::mouseClick(staying->allowButton(), Qt::LeftButton);
    EXPECT_TRUE(panel->pairingRows().isEmpty());
    EXPECT_TRUE(host->approved().contains(first));
}

TEST_F(RemotePanel, AnAnnouncementWithoutASystemBusReadsInChinese)
{
    const QByteArray bus = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    const auto restore = qScopeGuard([&] { qputenv("DBUS_SYSTEM_BUS_ADDRESS", bus); });
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/lumoria-test-bus");
    host->addTransport(std::make_unique<RemoteTcpListener>(settings, std::make_unique<AvahiAnnouncer>()));
    switchTo(true);
    EXPECT_TRUE(waitUntil([&] { return shows(QStringLiteral("未找到 Avahi 服务")); })) << host->lan().toStdString();
    EXPECT_FALSE(host->lan().contains(QStringLiteral("running"))) << host->lan().toStdString();
    QDir().mkpath(QStringLiteral(LUMO_TEST_SHOTS));
    windows->window("remote-control")->grab().save(QStringLiteral(LUMO_TEST_SHOTS "/remote-panel-no-avahi.png"));
}

TEST_F(RemotePanel, APhonePairsThroughTheClientWhenTheOperatorPressesAllow)
{
    switchTo(true);
    const QString id = deviceID();
    QProcess client;
    client.start(QStringLiteral("python3"),
                 {QStringLiteral(LUMO_REMOTE_CLIENT), "--port", QString::number(listener->port()), "--device-id", id,
                  "pair", "--name", "舞台手机", "--wait", "30", "--interval", "0.1"});
    ASSERT_TRUE(waitUntil([&] { return panel->pairingRows().size() == 1; }, 30000));
    EXPECT_TRUE(shows(QStringLiteral("网络 127.0.0.1")));
    QTest::mouseClick(panel->pairingRows()[0]->allowButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return client.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    EXPECT_TRUE(client.readAllStandardOutput().contains(R"("pairing":"approved")"));

    client.start(QStringLiteral("python3"), {QStringLiteral(LUMO_REMOTE_CLIENT), "--port",
                                             QString::number(listener->port()), "--device-id", id, "go"});
    ASSERT_TRUE(waitUntil([&] { return client.state() == QProcess::NotRunning; }, 30000));
    EXPECT_EQ(client.exitCode(), 0);
    EXPECT_TRUE(onAir(0));
}

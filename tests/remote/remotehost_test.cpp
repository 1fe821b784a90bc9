#include "remotehostfixture.h"
#include "remotetransport.h"
#include "steadyclock.h"

#include <QSignalSpy>

using RemoteHostLifecycle = RemoteHostTest;
using RemotePairing = RemoteHostTest;

TEST_F(RemoteHostLifecycle, StartKeepsItsCodeUntilStopAndStopForgetsEveryPhone)
{
    QSignalSpy codeChanges(host.get(), &RemoteHost::codeChanged);
    host->start(true);
    EXPECT_TRUE(host->enabled());
    EXPECT_EQ(host->code(), QStringLiteral("12345678"));
    EXPECT_EQ(host->lan(), QStringLiteral("正在启动"));
    EXPECT_EQ(host->bluetooth(), QStringLiteral("正在启动"));
    host->start(true);
    EXPECT_EQ(host->code(), QStringLiteral("12345678"));
    EXPECT_EQ(codeChanges.size(), 1);

    const QString approved = deviceID();
    pair(approved);
    host->decide(host->pending().first(), true);
    host->stop();
    EXPECT_FALSE(host->enabled());
    EXPECT_TRUE(host->code().isEmpty());
    EXPECT_TRUE(host->approved().isEmpty());
    EXPECT_EQ(host->lan(), QStringLiteral("正在启动")) << "the transports' last texts stay";

    host->start(true);
    EXPECT_EQ(host->code(), QStringLiteral("01234567")) << "eight digits, leading zero kept";
    EXPECT_EQ(pairingStatus(approved).pairing, QStringLiteral("expired"));
}

// Records what the host asks of it, and says so in the host's status text as a transport would.
class FakeTransport : public RemoteTransport
{
  public:
    FakeTransport(RemotePeer::Link link, QStringList& log) : m_link(link), m_log(log) {}
    RemotePeer::Link link() const override { return m_link; }
    void start(RemoteHost& host) override
    {
        m_log.append(name() + QStringLiteral(" start"));
        if (m_link == RemotePeer::Link::network)
            host.setLan(QStringLiteral("lumoria.local"));
    }
    void stop() override { m_log.append(name() + QStringLiteral(" stop")); }

  private:
    QString name() const { return m_link == RemotePeer::Link::network ? QStringLiteral("tcp") : QStringLiteral("ble"); }
    RemotePeer::Link m_link;
    QStringList& m_log;
};

TEST_F(RemoteHostLifecycle, TransportsStartWithTheRemoteAndBluetoothOnlyWhenAllowed)
{
    QStringList log;
    host->addTransport(std::make_unique<FakeTransport>(RemotePeer::Link::network, log));
    host->addTransport(std::make_unique<FakeTransport>(RemotePeer::Link::bluetooth, log));
    host->start(false);
    EXPECT_EQ(host->lan(), QStringLiteral("lumoria.local"));
    EXPECT_EQ(host->bluetooth(), QStringLiteral("正在启动"));
    host->start(true);
    host->stop();
    host->start(true);
    EXPECT_EQ(log, QStringList({"tcp start", "tcp stop", "ble stop", "tcp start", "ble start"}));
}

TEST_F(RemoteHostLifecycle, CodeIsComparedAsTheWholeString)
{
    codes = QQueue<quint32>({1234567u});
    host->start(true);
    for (const char* code : {"1234567", " 01234567", "01234567 ", "", "1234567.0"})
        EXPECT_EQ(ask(request(RemoteAction::status, QString::fromLatin1(code)), network(code)).error, kBadCode) << code;
    EXPECT_FALSE(ask(request(RemoteAction::status, QStringLiteral("01234567"))).error);
}

TEST_F(RemoteHostLifecycle, OffGoneOrUnreadableGetsTheClosedErrorOnly)
{
    host->start(true);
    const RemoteRequest withOldCode = request(RemoteAction::status, host->code());
    EXPECT_EQ(host->reply("{\"code\":\"1\",\"action\":\"launch\"}", phone),
              QStringLiteral(R"({"error":"遥控已关闭或请求无效","cues":[],"paused":false,"blackout":false,)"
                             R"("muted":false,"projecting":false,"message":""})")
                  .toUtf8());
    host->stop();
    EXPECT_EQ(ask(withOldCode).error, kClosed);
    EXPECT_EQ(pair(deviceID()).error, kClosed);

    host->start(true);
    engine.reset();
    EXPECT_EQ(withCode(RemoteAction::status).error, kClosed);
}

TEST_F(RemotePairing, PendingThenApprovedOrDeniedWithThePeerShown)
{
    host->start(true);
    const QString allowed = deviceID();
    const QString refused = deviceID().toUpper();
    EXPECT_EQ(pair(allowed, network(QStringLiteral("192.168.1.20"))).pairing, QStringLiteral("pending"));
    EXPECT_EQ(pair(allowed).pairing, QStringLiteral("pending"));
    ASSERT_EQ(host->pending().size(), 1);
    const RemoteHost::Pairing waiting = host->pending().first();
    EXPECT_EQ(waiting.name, QStringLiteral("移动设备"));
    EXPECT_EQ(waiting.peer.text(), QStringLiteral("网络 192.168.1.20"));
    EXPECT_EQ(waiting.expires, clock->now + 90);
    EXPECT_EQ(pairingStatus(allowed).pairing, QStringLiteral("pending"));
    EXPECT_EQ(ask(request(RemoteAction::status, allowed)).error, kBadCode) << "not yet allowed";

    host->decide(waiting, true);
    EXPECT_TRUE(host->pending().isEmpty());
    EXPECT_EQ(pairingStatus(allowed).pairing, QStringLiteral("approved"));
    EXPECT_EQ(pair(allowed).pairing, QStringLiteral("approved"));
    const RemoteStatus status = ask(request(RemoteAction::status, allowed));
    EXPECT_FALSE(status.error);
    EXPECT_EQ(status.cues.size(), 3);

    pair(refused, phone, QStringLiteral("后台"));
    host->decide(host->pending().first(), false);
    EXPECT_EQ(pair(refused).pairing, QStringLiteral("denied"));
    EXPECT_EQ(ask(request(RemoteAction::status, refused)).error, kBadCode);
    EXPECT_EQ(pairingStatus(deviceID()).pairing, QStringLiteral("expired"));
    EXPECT_FALSE(pair(allowed).error) << "a pairing reply never holds an error";
}

TEST_F(RemotePairing, UnansweredRequestLapsesAfterNinetySeconds)
{
    host->start(true);
    const QString id = deviceID();
    pair(id);
    const RemoteHost::Pairing waiting = host->pending().first();
    clock->now += 89.9;
    EXPECT_EQ(pairingStatus(id).pairing, QStringLiteral("pending"));
    clock->now += 0.1;
    host->decide(waiting, true);
    EXPECT_EQ(host->pending().size(), 1) << "a lapsed request is not answered, only pruned";
    EXPECT_EQ(pairingStatus(deviceID()).pairing, QStringLiteral("expired"));
    EXPECT_TRUE(host->pending().isEmpty());
    EXPECT_EQ(pairingStatus(id).pairing, QStringLiteral("expired"));
}

TEST_F(RemotePairing, ExpiryTaskDropsTheRequestWithoutAnyOtherRequest)
{
    host = makeHost(std::make_shared<SteadyClock>(), 0.05);
    host->start(true);
    pair(deviceID());
    pair(deviceID());
    EXPECT_EQ(host->pending().size(), 2);
    EXPECT_TRUE(waitUntil([&] { return host->pending().isEmpty(); }, 10000));
}

TEST_F(RemotePairing, RefusalsReadAsExpired)
{
    host->start(true);
    EXPECT_EQ(pair(QStringLiteral("not-a-uuid")).pairing, QStringLiteral("expired"));
    EXPECT_EQ(pair(QStringLiteral("{") + deviceID() + QStringLiteral("}")).pairing, QStringLiteral("expired"));

    // One peer holds at most three places in the list, so it cannot crowd out other phones.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pair(deviceID()).pairing, QStringLiteral("pending"));
    EXPECT_EQ(pair(deviceID()).pairing, QStringLiteral("expired"));
    EXPECT_EQ(host->pending().size(), 3);

    for (int i = 0; i < 5; ++i)
        pair(deviceID(), network(QStringLiteral("10.0.0.%1").arg(i)));
    EXPECT_EQ(host->pending().size(), 8);
    EXPECT_EQ(pair(deviceID(), network(QStringLiteral("10.0.1.1"))).pairing, QStringLiteral("expired"));

    while (!host->pending().isEmpty())
        host->decide(host->pending().first(), false);
    for (int i = 0; i < 120; ++i) {
        pair(deviceID(), network(QStringLiteral("10.1.0.%1").arg(i)));
        host->decide(host->pending().first(), i % 2);
    }
    EXPECT_EQ(host->approved().size() + host->denied().size(), 128);
    EXPECT_EQ(pair(deviceID(), network(QStringLiteral("10.2.0.1"))).pairing, QStringLiteral("expired"));
}

TEST_F(RemotePairing, NamesAreCutAtSixtyCharactersAndShowNoLineBreaks)
{
    host->start(true);
    const QString thumb = QStringLiteral("👍🏽");
    const struct
    {
        QString sent;
        QString shown;
    } cases[] = {
        {QString(59, u'a') + thumb + QStringLiteral("bc"), QString(59, u'a') + thumb},
        {QString(60, u'名') + QStringLiteral("多"), QString(60, u'名')},
        {QStringLiteral("  舞台\n手机\u2028 "), QStringLiteral("舞台 手机")},
        {QStringLiteral("\t"), QStringLiteral("移动设备")},
        {u'a' + QString(2000, QChar(0x301)), u'a' + QString(RemoteHost::kLongestNameUnits - 1, QChar(0x301))},
    };
    for (const auto& c : cases) {
        pair(deviceID(), phone, c.sent);
        EXPECT_EQ(host->pending().last().name, c.shown) << c.sent.toStdString();
        host->decide(host->pending().last(), false);
    }
    ask(R"({"action":"pair","code":")" + deviceID().toUtf8() + R"(","deviceName":"a\ud800b\udc00\ud83d\ude00"})");
    EXPECT_EQ(host->pending().last().name, QStringLiteral("a\uFFFDb\uFFFD😀")) << "lone surrogates are replaced";
}

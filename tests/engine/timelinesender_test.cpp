#include "eventwait.h"
#include "loopbackreceiver.h"
#include "oscdump.h"
#include "timelinesender.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

TimelineEvent messageEvent(Transport transport, quint16 port, const QString& payload)
{
    TimelineEvent event;
    event.track = Track::message;
    event.transport = transport;
    event.host = kLoopback;
    event.port = port;
    event.payload = payload;
    return event;
}

// Every report a send gave, in order.
struct Reports
{
    TimelineSender::Completion completion()
    {
        return [this](const std::optional<QString>& error) { received.push_back(error); };
    }
    std::vector<std::optional<QString>> received;
};

// A listening socket whose only accept slot is taken and never freed: the kernel drops further SYNs, so a connect
// to it neither succeeds nor fails.
class HangingListener
{
  public:
    HangingListener()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(m_listener, 0);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr*>(&address), length);
        pollfd queued{m_listener, POLLIN, 0};
        m_ready = ::poll(&queued, 1, 2000) == 1;
    }
    ~HangingListener()
    {
        ::close(m_filler);
        ::close(m_listener);
    }
    HangingListener(const HangingListener&) = delete;
    HangingListener& operator=(const HangingListener&) = delete;

    bool ready() const { return m_ready; }
    quint16 port() const { return m_port; }

  private:
    int m_listener = -1;
    int m_filler = -1;
    quint16 m_port = 0;
    bool m_ready = false;
};

quint16 closedTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

TEST(TimelineSenderInvalid, ReportsBeforeSendReturnsWithoutConnecting)
{
    TimelineSender sender;
    TimelineEvent emptyHost = messageEvent(Transport::udp, 9000, QStringLiteral("go"));
    emptyHost.host.clear();
    TimelineEvent noPort = messageEvent(Transport::tcp, 0, QStringLiteral("go"));
    TimelineEvent badOsc = messageEvent(Transport::osc, 9000, QStringLiteral("go"));
    badOsc.oscAddress = QStringLiteral("cue");
    for (const TimelineEvent& event : {emptyHost, noPort, badOsc}) {
        Reports reports;
        sender.send(event, reports.completion());
        ASSERT_EQ(reports.received.size(), 1u);
        EXPECT_EQ(reports.received[0], QStringLiteral("消息配置无效"));
        EXPECT_EQ(sender.pendingCount(), 0);
    }
}

TEST(TimelineSenderUdp, DeliversTheBytesAndReportsSuccessOnceFromTheEventLoop)
{
    LoopbackReceiver receiver;
    TimelineSender sender(300ms);
    Reports reports;
    TimelineEvent event = messageEvent(Transport::udp, receiver.port(), QStringLiteral("0A 0b\nff"));
    event.hex = true;
    sender.send(event, reports.completion());
    EXPECT_TRUE(reports.received.empty()) << "a valid send never reports from within send()";

    ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 3000));
    EXPECT_EQ(reports.received[0], std::nullopt);
    const auto datagram = receiver.receive(2000);
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->bytes, QByteArray("\x0A\x0B\xFF", 3));

    runEvents(500);
    EXPECT_EQ(reports.received.size(), 1u) << "the time-out finds the send already finished";
    EXPECT_EQ(sender.pendingCount(), 0);
}

TEST(TimelineSenderUdp, TwoQuickSendsGiveTwoDatagramsAndTwoReports)
{
    LoopbackReceiver receiver;
    TimelineSender sender;
    Reports reports;
    sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("one")), reports.completion());
    sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("two")), reports.completion());
    EXPECT_EQ(sender.pendingCount(), 2);
    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 2; }, 3000));
    EXPECT_EQ(reports.received, (std::vector<std::optional<QString>>{std::nullopt, std::nullopt}));
    QStringList payloads;
    for (int i = 0; i < 2; ++i)
        if (const auto datagram = receiver.receive(2000))
            payloads << QString::fromUtf8(datagram->bytes);
    payloads.sort();
    EXPECT_EQ(payloads, (QStringList{QStringLiteral("one"), QStringLiteral("two")}));
}

TEST(TimelineSenderUdp, SendingWithNobodyListeningStillSucceeds)
{
    TimelineSender sender(300ms);
    Reports reports;
    sender.send(messageEvent(Transport::udp, freeLoopbackUdpPort(), QStringLiteral("go")), reports.completion());
    ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 3000));
    runEvents(500);
    ASSERT_EQ(reports.received.size(), 1u);
    EXPECT_EQ(reports.received[0], std::nullopt);
}

TEST(TimelineSenderOsc, OscdumpReceivesTheAddressAndStringArgument)
{
    if (!OscDump::available())
        GTEST_SKIP() << "oscdump is not installed (Debian package liblo-tools)";
    const quint16 port = freeLoopbackUdpPort();
    OscDump peer(port);
    ASSERT_TRUE(peer.waitUntilListening(5000)) << peer.errors().toStdString();

    TimelineSender sender;
    Reports reports;
    TimelineEvent go = messageEvent(Transport::osc, port, QStringLiteral("开场 go\tnow"));
    go.oscAddress = QStringLiteral("/cue/go");
    TimelineEvent empty = messageEvent(Transport::osc, port, QString());
    empty.oscAddress = QStringLiteral("/cue");
    sender.send(go, reports.completion());
    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 1; }, 3000));
    sender.send(empty, reports.completion());
    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 2; }, 3000));
    EXPECT_EQ(reports.received, (std::vector<std::optional<QString>>{std::nullopt, std::nullopt}));

    EXPECT_EQ(peer.nextMessage(5000), QStringLiteral("/cue/go s \"开场 go\tnow\""));
    EXPECT_EQ(peer.nextMessage(5000), QStringLiteral("/cue s \"\""));
}

TEST(TimelineSenderTcp, PeerReceivesThePayloadThenEndOfStream)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    QByteArray received;
    bool endOfStream = false;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&, peer] { received += peer->readAll(); });
        QObject::connect(peer, &QTcpSocket::disconnected, [&, peer] {
            received += peer->readAll();
            endOfStream = true;
        });
    });

    TimelineSender sender;
    Reports reports;
    const QString payload = QStringLiteral("PLAY 1\r\n灯光");
    sender.send(messageEvent(Transport::tcp, server.serverPort(), payload), reports.completion());
    ASSERT_TRUE(waitUntil([&] { return endOfStream && !reports.received.empty(); }, 3000));
    EXPECT_EQ(received, payload.toUtf8());
    ASSERT_EQ(reports.received.size(), 1u);
    EXPECT_EQ(reports.received[0], std::nullopt);
    EXPECT_EQ(sender.pendingCount(), 0);
}

TEST(TimelineSenderTcp, ClosedPortGivesExactlyOneFailure)
{
    TimelineSender sender(400ms);
    Reports reports;
    sender.send(messageEvent(Transport::tcp, closedTcpPort(), QStringLiteral("go")), reports.completion());
    ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 3000));
    runEvents(700);
    ASSERT_EQ(reports.received.size(), 1u);
    ASSERT_TRUE(reports.received[0]);
    EXPECT_FALSE(reports.received[0]->isEmpty());
}

TEST(TimelineSenderTcp, ConnectionThatNeverCompletesTimesOut)
{
    HangingListener listener;
    ASSERT_TRUE(listener.ready());
    TimelineSender sender(300ms);
    Reports reports;
    sender.send(messageEvent(Transport::tcp, listener.port(), QStringLiteral("go")), reports.completion());
    runEvents(150);
    EXPECT_TRUE(reports.received.empty());
    ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 3000));
    runEvents(300);
    ASSERT_EQ(reports.received.size(), 1u);
    EXPECT_EQ(reports.received[0], QStringLiteral("连接或发送超时"));
}

TEST(TimelineSenderCancel, SilencesEveryPendingSend)
{
    HangingListener listener;
    ASSERT_TRUE(listener.ready());
    TimelineSender sender(200ms);
    Reports reports;
    for (int i = 0; i < 3; ++i)
        sender.send(messageEvent(Transport::tcp, listener.port(), QStringLiteral("go")), reports.completion());
    runEvents(50);
    EXPECT_EQ(sender.pendingCount(), 3);
    sender.cancel();
    EXPECT_EQ(sender.pendingCount(), 0);
    runEvents(500);
    EXPECT_TRUE(reports.received.empty());
}

TEST(TimelineSenderCancel, CancelledDatagramIsNeitherSentNorReported)
{
    LoopbackReceiver receiver;
    TimelineSender sender(200ms);
    Reports reports;
    sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("go")), reports.completion());
    sender.cancel();
    runEvents(400);
    EXPECT_TRUE(reports.received.empty());
    EXPECT_FALSE(receiver.receive(0));
}

TEST(TimelineSenderLifetime, DroppedSenderReportsNothing)
{
    HangingListener listener;
    ASSERT_TRUE(listener.ready());
    Reports reports;
    auto sender = std::make_unique<TimelineSender>(200ms);
    sender->send(messageEvent(Transport::tcp, listener.port(), QStringLiteral("go")), reports.completion());
    runEvents(50);
    sender.reset();
    runEvents(400);
    EXPECT_TRUE(reports.received.empty());
}

#include "eventwait.h"
#include "loopbackreceiver.h"
#include "nofiledescriptors.h"
#include "oscdump.h"
#include "timelinesender.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <algorithm>
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

// Every valid datagram, to an address or a host name, reports success exactly once, from the event loop, whether
// anyone listens or not.
TEST(TimelineSenderUdp, DeliversTheBytesAndReportsSuccessOnceFromTheEventLoop)
{
    LoopbackReceiver receiver;
    TimelineSender sender(300ms);
    Reports reports;
    TimelineEvent hex = messageEvent(Transport::udp, receiver.port(), QStringLiteral("0A 0b\nff"));
    hex.hex = true;
    TimelineEvent named = messageEvent(Transport::udp, receiver.port(), QStringLiteral("named"));
    named.host = QStringLiteral("localhost");
    sender.send(hex, reports.completion());
    sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("two")), reports.completion());
    sender.send(messageEvent(Transport::udp, freeLoopbackUdpPort(), QStringLiteral("unheard")), reports.completion());
    sender.send(named, reports.completion());
    EXPECT_TRUE(reports.received.empty()) << "a valid send never reports from within send()";
    EXPECT_EQ(sender.pendingCount(), 4);

    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 4; }, 10000));
    QList<QByteArray> payloads;
    while (const auto datagram = receiver.receive(500))
        payloads << datagram->bytes;
    // The name may resolve to the IPv6 loopback first, where nobody listens.
    payloads.removeAll("named");
    std::sort(payloads.begin(), payloads.end());
    EXPECT_EQ(payloads, (QList<QByteArray>{QByteArray("\x0A\x0B\xFF", 3), "two"}));

    runEvents(500);
    EXPECT_EQ(reports.received, std::vector<std::optional<QString>>(4)) << "the time-out finds the sends finished";
    EXPECT_EQ(sender.pendingCount(), 0);
}

TEST(TimelineSenderUdp, DatagramTheNetworkRefusesReportsItsFailureOnce)
{
    LoopbackReceiver receiver;
    TimelineSender sender(300ms);
    Reports reports;
    sender.send(messageEvent(Transport::udp, receiver.port(), QString(70000, QLatin1Char('x'))), reports.completion());
    ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 10000));
    runEvents(400);
    ASSERT_EQ(reports.received.size(), 1u);
    ASSERT_TRUE(reports.received[0]);
    EXPECT_FALSE(reports.received[0]->isEmpty());
    EXPECT_FALSE(receiver.receive(0));
}

// With no descriptor left the socket cannot be made: the report says so in the operator's words.
TEST(TimelineSenderUdp, WithoutDescriptorsTheFailureSaysTooManyFilesAreOpen)
{
    LoopbackReceiver receiver;
    TimelineSender sender(300ms);
    Reports reports;
    {
        NoFileDescriptors limit;
        sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("go")), reports.completion());
        ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }));
    }
    ASSERT_EQ(reports.received.size(), 1u);
    EXPECT_EQ(reports.received[0], QStringLiteral("同时打开的文件过多"));
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
    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 1; }, 10000));
    sender.send(empty, reports.completion());
    ASSERT_TRUE(waitUntil([&] { return reports.received.size() == 2; }, 10000));
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
    ASSERT_TRUE(waitUntil([&] { return endOfStream && !reports.received.empty(); }, 10000));
    EXPECT_EQ(received, payload.toUtf8());
    ASSERT_EQ(reports.received.size(), 1u);
    EXPECT_EQ(reports.received[0], std::nullopt);
    EXPECT_EQ(sender.pendingCount(), 0);
}

TEST(TimelineSenderTcp, RefusedOrHangingConnectionGivesExactlyOneFailure)
{
    HangingListener hanging;
    ASSERT_TRUE(hanging.ready());
    const std::pair<quint16, std::optional<QString>> rows[] = {
        {closedTcpPort(), std::nullopt},
        {hanging.port(), QStringLiteral("连接或发送超时")},
    };
    for (const auto& [port, text] : rows) {
        TimelineSender sender(300ms);
        Reports reports;
        QElapsedTimer sinceSend;
        sinceSend.start();
        sender.send(messageEvent(Transport::tcp, port, QStringLiteral("go")), reports.completion());
        ASSERT_TRUE(waitUntil([&] { return !reports.received.empty(); }, 10000));
        if (text) {
            EXPECT_GE(sinceSend.elapsed(), 300) << "not before the time-out";
        }
        runEvents(400);
        ASSERT_EQ(reports.received.size(), 1u) << port;
        ASSERT_TRUE(reports.received[0]);
        EXPECT_FALSE(reports.received[0]->isEmpty());
        if (text) {
            EXPECT_EQ(reports.received[0], *text);
        }
    }
}

// Neither a cancelled send nor one of a sender that is gone sends or reports anything.
TEST(TimelineSenderCancel, SilencesEveryPendingSend)
{
    HangingListener listener;
    ASSERT_TRUE(listener.ready());
    LoopbackReceiver receiver;
    Reports reports;
    TimelineSender sender(200ms);
    auto dropped = std::make_unique<TimelineSender>(200ms);
    for (int i = 0; i < 3; ++i)
        sender.send(messageEvent(Transport::tcp, listener.port(), QStringLiteral("go")), reports.completion());
    dropped->send(messageEvent(Transport::tcp, listener.port(), QStringLiteral("go")), reports.completion());
    runEvents(50);
    sender.send(messageEvent(Transport::udp, receiver.port(), QStringLiteral("go")), reports.completion());
    EXPECT_EQ(sender.pendingCount(), 4);
    sender.cancel();
    EXPECT_EQ(sender.pendingCount(), 0);
    dropped.reset();
    runEvents(500);
    EXPECT_TRUE(reports.received.empty());
    EXPECT_FALSE(receiver.receive(0));
}

#include "nofiledescriptors.h"
#include "remotetcpconnection.h"
#include "remotetcpfixture.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

using RemoteTcp = RemoteTcpTest;

static QByteArray statusRequest(const QString& code, int length = 0)
{
    QByteArray request = R"({"code":")" + code.toUtf8() + R"(","action":"status"})";
    return request + QByteArray(std::max<qsizetype>(length - request.size(), 0), ' ');
}

TEST_F(RemoteTcp, OneRequestPerConnectionEndedByALineFeed)
{
    startListening();
    const QByteArray request = statusRequest(host->code());
    struct Case
    {
        const char* what;
        QByteArrayList pieces;
        std::optional<QString> error; // of the one reply; none: no reply at all
    };
    const QByteArray longest = statusRequest(host->code(), 4095);
    const QList<Case> cases = {
        {"in pieces", {request.left(5), request.mid(5, 20), request.mid(25), "\n"}, QString()},
        {"two requests", {request + "\n" + request + "\n"}, QString()},
        {"4,095 bytes and a line feed", {longest.left(2000), longest.mid(2000) + "\n"}, QString()},
        {"4,096 bytes without a line feed", {longest + " ", "\n"}, std::nullopt},
        {"carriage return and line feed", {request + "\r\n"}, QString()},
        {"a lone line feed", {"\n"}, kClosed},
        {"not JSON", {"hello\n"}, kClosed},
    };
    for (const Case& c : cases) {
        const QByteArray received = exchange(c.pieces);
        if (!c.error) {
            EXPECT_TRUE(received.isEmpty()) << c.what;
            continue;
        }
        ASSERT_EQ(received.count('\n'), 1) << c.what << ": " << received.toStdString();
        ASSERT_TRUE(received.endsWith('\n')) << c.what;
        const std::optional<RemoteStatus> reply = RemoteStatus::decode(received.chopped(1));
        ASSERT_TRUE(reply) << c.what;
        EXPECT_EQ(reply->error.value_or(QString()), *c.error) << c.what;
    }
}

TEST_F(RemoteTcp, APhoneThatStopsSendingIsAnsweredOnlyWhenItsLineIsComplete)
{
    startListening();
    QTcpSocket* halfClosed = connectPhone();
    halfClosed->write(statusRequest(host->code()) + "\n");
    halfClosed->flush();
    ::shutdown(int(halfClosed->socketDescriptor()), SHUT_WR);
    EXPECT_TRUE(untilClosed(halfClosed).endsWith("\n")) << "the reply still reaches it";

    QTcpSocket* cutShort = connectPhone();
    cutShort->write(statusRequest(host->code()));
    cutShort->flush();
    ::shutdown(int(cutShort->socketDescriptor()), SHUT_WR);
    EXPECT_EQ(untilClosed(cutShort), QByteArray());
    EXPECT_TRUE(waitUntil([&] { return listener->openConnections() == 0; }));
}

TEST_F(RemoteTcp, APhoneThatSendsMoreAfterItsLineStillGetsTheReply)
{
    startListening();
    QTcpSocket* phone = connectPhone();
    phone->write(statusRequest(host->code()) + "\n" + QByteArray(4000, 'y'));
    phone->waitForBytesWritten(1000);
    // The console answers while the phone has not yet read anything; then the phone sends on.
    QCoreApplication::processEvents();
    QThread::msleep(50);
    phone->write(QByteArray(40, 'y'));
    phone->waitForBytesWritten(1000);
    QThread::msleep(50);
    ::shutdown(int(phone->socketDescriptor()), SHUT_WR);
    EXPECT_TRUE(untilClosed(phone).endsWith("\n"));
}

TEST_F(RemoteTcp, SilentPhonesLeaveAfterTheFirstByteWaitAndEveryoneAfterTheLifetime)
{
    settings.limits.timing = {3000, 300};
    startListening();
    QTcpSocket* silent = connectPhone();
    QTcpSocket* slow = connectPhone();
    slow->write("{");
    slow->flush();
    EXPECT_EQ(untilClosed(silent), QByteArray());
    EXPECT_TRUE(connected(slow)) << "one byte keeps it until its lifetime";
    EXPECT_EQ(untilClosed(slow), QByteArray());
    EXPECT_EQ(listener->openConnections(), 0);
}

// Phones from addresses of their own: every 127.x.y.z is this computer.
class RemoteTcpPeers : public RemoteTcpTest
{
  protected:
    void SetUp() override
    {
        RemoteTcpTest::SetUp();
        settings.limits.timing = {60000, 60000, 60000};
    }
    QTcpSocket* connectFrom(const QString& address)
    {
        const int before = listener->openConnections();
        QTcpSocket* socket = dial(QHostAddress(address));
        waitUntil([&] { return listener->openConnections() != before || !connected(socket); }, 1000);
        return socket;
    }
};

TEST_F(RemoteTcpPeers, AnAddressHoldsFourPlacesAndAFullListenerDropsTheOldestIdleOfTheGreediest)
{
    startListening();
    QList<QTcpSocket*> greedy;
    for (int i = 0; i < 4; ++i)
        greedy << connectFrom("127.0.1.1");
    QTcpSocket* fifth = connectFrom("127.0.1.1");
    EXPECT_EQ(untilClosed(fifth), QByteArray()) << "a fifth place for one address is refused";
    EXPECT_EQ(listener->openConnections(), 4);

    QList<QTcpSocket*> others;
    for (int i = 0; i < 12; ++i)
        others << connectFrom(QStringLiteral("127.0.2.%1").arg(1 + i / 3));
    EXPECT_TRUE(waitUntil([&] { return listener->openConnections() == 16; }));

    QTcpSocket* newcomer = connectFrom("127.0.3.1");
    EXPECT_TRUE(waitUntil([&] { return !connected(greedy[0]); })) << "the greediest address loses its oldest";
    EXPECT_TRUE(connected(newcomer));
    EXPECT_EQ(listener->openConnections(), 16);
    for (QTcpSocket* kept : greedy.mid(1) + others)
        EXPECT_TRUE(connected(kept));

    newcomer->write(statusRequest(host->code()) + "\n");
    EXPECT_TRUE(untilClosed(newcomer).endsWith('\n')) << "and the newcomer is served";
}

// A phone on a bare socket: unlike a QTcpSocket it keeps its side open after the console has closed its own.
class BarePhone
{
  public:
    BarePhone(const char* from, quint16 port) : m_socket(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &address.sin_addr);
        EXPECT_EQ(::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        address.sin_port = htons(port);
        EXPECT_EQ(::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::fcntl(m_socket, F_SETFL, O_NONBLOCK);
    }
    ~BarePhone() { ::close(m_socket); }
    void send(const QByteArray& bytes) { ::send(m_socket, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL); }
    // Everything the console sent until it ended its sending side.
    QByteArray replyUntilEnd()
    {
        QByteArray received;
        waitUntil([&] {
            char piece[1024];
            const ssize_t got = ::recv(m_socket, piece, sizeof piece, 0);
            received.append(piece, std::max<ssize_t>(got, 0));
            return got == 0;
        });
        return received;
    }
    // Whether the console has answered a byte with a reset: it had closed the connection altogether.
    bool wasReset() const
    {
        tcp_info info{};
        socklen_t length = sizeof info;
        ::getsockopt(m_socket, IPPROTO_TCP, TCP_INFO, &info, &length);
        return info.tcpi_state == TCP_CLOSE;
    }

  private:
    int m_socket;
};

TEST_F(RemoteTcpPeers, AnsweredPhonesGiveTheirPlacesUpAndDrainUnderACapOfTheirOwn)
{
    settings.limits.mostDraining = 12;
    startListening();
    // 16 phones from 4 addresses: each sends a lone line feed and never closes its side.
    std::vector<std::unique_ptr<BarePhone>> answered;
    for (int i = 0; i < 16; ++i) {
        const QByteArray from = "127.0.1." + QByteArray::number(1 + i / 4);
        answered.push_back(std::make_unique<BarePhone>(from.constData(), listener->port()));
        answered.back()->send("\n");
        EXPECT_TRUE(answered.back()->replyUntilEnd().endsWith('\n')) << "each is answered";
    }
    EXPECT_TRUE(waitUntil([&] { return listener->openConnections() == 0; }));
    EXPECT_EQ(listener->drainingConnections(), 12);
    for (const auto& phone : answered)
        phone->send("x");
    EXPECT_TRUE(waitUntil([&] {
        return std::all_of(answered.begin(), answered.begin() + 4, [](auto& phone) { return phone->wasReset(); });
    })) << "the oldest beyond the cap are closed";
    for (size_t i = 4; i < answered.size(); ++i)
        EXPECT_FALSE(answered[i]->wasReset()) << "the others still drain: " << i;

    for (const char* address : {"127.0.1.1", "127.0.9.9"}) {
        QTcpSocket* phone = connectFrom(address);
        phone->write(statusRequest(host->code()) + "\n");
        EXPECT_TRUE(untilClosed(phone).endsWith('\n')) << "a phone from " << address << " is served";
    }
}

TEST_F(RemoteTcp, StopClosesEveryConnectionAndTheListenerKeepsItsLastText)
{
    startListening();
    const QString lan = host->lan();
    EXPECT_FALSE(lan.isEmpty());
    QTcpSocket* idle = connectPhone();
    QTcpSocket* partway = connectPhone();
    partway->write("{\"code\"");
    partway->flush();
    runEvents(20);
    host->stop();
    EXPECT_EQ(untilClosed(idle), QByteArray());
    EXPECT_EQ(untilClosed(partway), QByteArray());
    EXPECT_EQ(host->lan(), lan);

    QTcpSocket late;
    late.connectToHost(QHostAddress::LocalHost, listener->port());
    EXPECT_TRUE(waitUntil([&] { return late.error() == QAbstractSocket::ConnectionRefusedError; }, 10000));
}

TEST_F(RemoteTcp, APortInUseIsReportedAndTheRemoteStaysOn)
{
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::LocalHost));
    settings.address = QHostAddress::LocalHost;
    settings.port = taken.serverPort();
    auto made = std::make_unique<RemoteTcpListener>(settings);
    RemoteTcpListener* blocked = made.get();
    host->addTransport(std::move(made));
    host->start(true);
    EXPECT_FALSE(blocked->isListening());
    EXPECT_TRUE(host->enabled());
    EXPECT_TRUE(host->lan().contains(QString::number(taken.serverPort()))) << host->lan().toStdString();
}

// A phone that calls while the program has no descriptor left waits in the backlog: the remote panel says why, and
// the phone is taken once descriptors are free again.
TEST_F(RemoteTcp, APhoneCallingWithoutDescriptorsLeftIsTakenOnceSomeAreFree)
{
    startListening();
    const QString lan = host->lan();
    const int phone = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(phone, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(listener->port());
    {
        NoFileDescriptors limit;
        ASSERT_EQ(::connect(phone, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_TRUE(waitUntil([&] { return host->lan() == QStringLiteral("无法接受连接：同时打开的文件过多"); }))
            << host->lan().toStdString();
        EXPECT_EQ(listener->openConnections(), 0);
    }
    EXPECT_TRUE(waitUntil([&] { return listener->openConnections() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return host->lan() == lan; }))
        << host->lan().toStdString() << " / " << lan.toStdString();
    ::close(phone);
}

TEST(RemoteTcpPeer, MappedAddressesCountAsTheirIPv4Address)
{
    for (const auto& [address, peer] : QList<std::pair<QString, QString>>{
             {"::ffff:192.168.1.20", "192.168.1.20"}, {"127.0.0.1", "127.0.0.1"}, {"fe80::1", "fe80::1"}})
        EXPECT_EQ(RemoteTcpServer::peerOf(QHostAddress(address)).address, peer);
}

// The read that brings the request past 4,095 bytes may carry its line feed at index 4,096 too. Read boundaries
// decide this edge, so the connection reads on this thread: the first piece is taken whole before the rest is sent.
TEST(RemoteTcpRequest, ALineFeedAtIndex4096InTheReadThatPassesTheLimitEndsARequest)
{
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    RemoteTcpConnection connection(ends[0], {}, 1, {});
    QSignalSpy requested(&connection, &RemoteTcpConnection::requested);
    const QByteArray request(4096, 'x');
    ASSERT_EQ(::write(ends[1], request.constData(), 3073), 3073);
    runEvents(20);
    ASSERT_FALSE(connection.isClosed());
    const QByteArray rest = request.mid(3073) + '\n';
    ASSERT_EQ(::write(ends[1], rest.constData(), size_t(rest.size())), rest.size());
    EXPECT_TRUE(waitUntil([&] { return requested.count() == 1 || connection.isClosed(); }));
    ASSERT_EQ(requested.count(), 1);
    EXPECT_EQ(requested[0][0].toByteArray(), request);
    ::close(ends[1]);
}

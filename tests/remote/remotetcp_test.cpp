#include "remotetcpfixture.h"

#include <QCoreApplication>
#include <QThread>
#include <sys/socket.h>

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
        // The read that brings the request past 4,095 bytes may carry its line feed as well.
        {"4,096 bytes and a line feed in the same read", {longest.left(3073), longest.mid(3073) + " \n"}, QString()},
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
    settings.timing = {3000, 300};
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

// Counts each phone as its own address, while every socket stays on 127.0.0.1.
class RemoteTcpPeers : public RemoteTcpTest
{
  protected:
    void SetUp() override
    {
        RemoteTcpTest::SetUp();
        settings.timing = {60000, 60000};
        settings.peerOf = [this](const QTcpSocket& socket) { return network(addressOf.value(socket.peerPort())); };
        startListening();
    }
    QTcpSocket* connectFrom(const QString& address)
    {
        const int before = listener->openConnections();
        QTcpSocket* socket = dial([&](quint16 port) { addressOf[port] = address; });
        waitUntil([&] { return listener->openConnections() != before || !connected(socket); }, 1000);
        return socket;
    }
    QHash<quint16, QString> addressOf;
};

TEST_F(RemoteTcpPeers, AnAddressHoldsFourPlacesAndAFullListenerDropsTheOldestIdleOfTheGreediest)
{
    QList<QTcpSocket*> greedy;
    for (int i = 0; i < 4; ++i)
        greedy << connectFrom("10.0.0.1");
    QTcpSocket* fifth = connectFrom("10.0.0.1");
    EXPECT_EQ(untilClosed(fifth), QByteArray()) << "a fifth place for one address is refused";
    EXPECT_EQ(listener->openConnections(), 4);

    QList<QTcpSocket*> others;
    for (int i = 0; i < 12; ++i)
        others << connectFrom(QStringLiteral("10.0.1.%1").arg(i / 3));
    EXPECT_TRUE(waitUntil([&] { return listener->openConnections() == 16; }));

    QTcpSocket* newcomer = connectFrom("10.0.2.1");
    EXPECT_TRUE(waitUntil([&] { return !connected(greedy[0]); })) << "the greediest address loses its oldest";
    EXPECT_TRUE(connected(newcomer));
    EXPECT_EQ(listener->openConnections(), 16);
    for (QTcpSocket* kept : greedy.mid(1) + others)
        EXPECT_TRUE(connected(kept));

    newcomer->write(statusRequest(host->code()) + "\n");
    EXPECT_TRUE(untilClosed(newcomer).endsWith('\n')) << "and the newcomer is served";
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

TEST(RemoteTcpPeer, MappedAddressesCountAsTheirIPv4Address)
{
    for (const auto& [address, peer] : QList<std::pair<QString, QString>>{
             {"::ffff:192.168.1.20", "192.168.1.20"}, {"127.0.0.1", "127.0.0.1"}, {"fe80::1", "fe80::1"}})
        EXPECT_EQ(RemoteTcpListener::peerOf(QHostAddress(address)).address, peer);
}

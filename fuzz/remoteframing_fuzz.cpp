#include "fuzzcheck.h"
#include "remotetcpconnection.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>
#include <netinet/in.h>
#include <sys/socket.h>

// Bytes from a phone, sent over loopback in pieces of a chosen size: the request handed on is exactly the bytes
// before the first line feed when that stands within the limit, nothing is handed on when it does not, and the
// phone gets the reply and a line feed back.
namespace {

int listening = -1;
quint16 listeningPort = 0;

// The console's side of one phone's connection, as the listener hands it over: the bare descriptor.
qintptr acceptOne(QTcpSocket& phone)
{
    phone.connectToHost(QHostAddress::LocalHost, listeningPort);
    fuzzCheck(phone.waitForConnected(10000), "the phone connects");
    const int socket = ::accept(listening, nullptr, nullptr);
    fuzzCheck(socket >= 0, "the console accepts the phone");
    return socket;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    new QCoreApplication(*argc, *argv);
    listening = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    fuzzCheck(::bind(listening, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(listening, 8) == 0 &&
                  ::getsockname(listening, reinterpret_cast<sockaddr*>(&address), &length) == 0,
              "the listener opens on loopback");
    listeningPort = ntohs(address.sin_port);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype piece = 1 + data[0] * 17;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    QTcpSocket phone;
    const qintptr socket = acceptOne(phone);
    QList<QByteArray> requests;
    RemoteTcpConnection connection(socket, RemotePeer{RemotePeer::Link::network, QStringLiteral("127.0.0.1")}, 1, {});
    QObject::connect(&connection, &RemoteTcpConnection::requested, [&](const QByteArray& request) {
        requests.append(request);
        connection.reply("ok");
    });
    for (qsizetype at = 0; at < bytes.size() && phone.state() == QAbstractSocket::ConnectedState; at += piece) {
        phone.write(bytes.mid(at, piece));
        phone.waitForBytesWritten(1000);
        QCoreApplication::processEvents();
    }
    // The phone has said all it will: it closes its sending side and keeps listening for the reply.
    phone.flush();
    ::shutdown(int(phone.socketDescriptor()), SHUT_WR);

    QEventLoop loop;
    QObject::connect(&connection, &RemoteTcpConnection::closed, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    if (!connection.isClosed())
        loop.exec();
    fuzzCheck(connection.isClosed() || !connection.waiting(), "the connection ends once the phone is done");
    QByteArray reply;
    while (phone.waitForReadyRead(requests.isEmpty() ? 0 : 5000))
        reply += phone.readAll();
    reply += phone.readAll();

    const qsizetype lineFeed = bytes.indexOf('\n');
    fuzzCheck(requests.size() <= 1, "one request per connection");
    if (lineFeed >= 0 && lineFeed < RemoteTcpConnection::kLongestRequest)
        fuzzCheck(requests.size() == 1, "a line within the limit is answered");
    if (lineFeed < 0 || lineFeed > RemoteTcpConnection::kLongestRequest)
        fuzzCheck(requests.isEmpty(), "bytes without a line feed within the limit are never handed on");
    if (!requests.isEmpty()) {
        fuzzCheck(requests.first() == bytes.left(lineFeed), "the request is the bytes before the first line feed");
        fuzzCheck(reply == "ok\n", "the phone gets the reply and a line feed");
    }
    return 0;
}

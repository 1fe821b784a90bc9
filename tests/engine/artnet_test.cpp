#include "artnet.h"
#include "loopbackreceiver.h"
#include "nofiledescriptors.h"
#include "tsharkcapture.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>

namespace {

ArtNet openLoopback(quint16 port)
{
    auto opened = ArtNet::open(QStringLiteral("127.0.0.1"), port);
    if (!std::holds_alternative<ArtNet>(opened))
        throw std::runtime_error("no Art-Net sender on loopback");
    return std::move(std::get<ArtNet>(opened));
}

std::optional<ArtNetFailure::Kind> failureOf(const QString& host)
{
    const auto opened = ArtNet::open(host);
    if (const auto* failure = std::get_if<ArtNetFailure>(&opened))
        return failure->kind;
    return std::nullopt;
}

} // namespace

TEST(ArtNetAddress, AcceptsDottedIPv4Only)
{
    for (const QString host : {"10.0.0.5", "255.255.255.255"})
        EXPECT_EQ(failureOf(host), std::nullopt) << host.toStdString();
    for (const QString host : {"localhost", "", "10.0.0", "10.0.0.5 ", " 10.0.0.5", "::1", "10.0.0.256"})
        EXPECT_EQ(failureOf(host), ArtNetFailure::Kind::invalidAddress) << host.toStdString();
    EXPECT_EQ(failureOf(QStringLiteral("10.0.0.5") + QChar(u'\0') + QStringLiteral("junk")),
              ArtNetFailure::Kind::invalidAddress);
}

TEST(ArtNetAddress, SocketFailureIsNotBlamedOnTheAddress)
{
    std::variant<ArtNet, ArtNetFailure> opened = ArtNetFailure{};
    {
        NoFileDescriptors limit;
        opened = ArtNet::open(QStringLiteral("127.0.0.1"));
    }
    const auto* failure = std::get_if<ArtNetFailure>(&opened);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->kind, ArtNetFailure::Kind::socket);
    EXPECT_FALSE(failure->reason.isEmpty());
}

TEST(ArtNetPacket, Is530BytesWithHeaderAndChannelsInOrder)
{
    LoopbackReceiver receiver;
    ArtNet artNet = openLoopback(receiver.port());
    DmxFrame frame{};
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = quint8(i * 7);
    ASSERT_TRUE(artNet.send(frame, 1));

    const auto datagram = receiver.receive(2000);
    ASSERT_TRUE(datagram);
    const QByteArray& bytes = datagram->bytes;
    ASSERT_EQ(bytes.size(), 530);
    EXPECT_EQ(bytes.left(8), QByteArray("Art-Net\0", 8));
    EXPECT_EQ(bytes.mid(8, 4), QByteArray("\x00\x50\x00\x0E", 4));
    EXPECT_EQ(quint8(bytes[12]), 1);
    EXPECT_EQ(quint8(bytes[13]), 0);
    EXPECT_EQ(bytes.mid(16, 2), QByteArray("\x02\x00", 2));
    EXPECT_EQ(bytes.mid(18), QByteArray(reinterpret_cast<const char*>(frame.data()), 512));
}

TEST(ArtNetPacket, SplitsUniverseIntoSubUniAndNetAfterClamping)
{
    LoopbackReceiver receiver;
    ArtNet artNet = openLoopback(receiver.port());
    const std::vector<std::tuple<qint64, int, int>> cases{
        {0, 0, 0}, {256, 0, 1}, {4660, 0x34, 0x12}, {-3, 0, 0}, {40000, 0xFF, 0x7F}};
    for (const auto& [universe, subUni, net] : cases) {
        ASSERT_TRUE(artNet.send({}, universe));
        const auto datagram = receiver.receive(2000);
        ASSERT_TRUE(datagram);
        EXPECT_EQ(quint8(datagram->bytes[14]), subUni) << universe;
        EXPECT_EQ(quint8(datagram->bytes[15]), net) << universe;
    }
}

TEST(ArtNetPacket, SequenceRunsOneTo255ThenStartsAgainAtOne)
{
    LoopbackReceiver receiver;
    ArtNet artNet = openLoopback(receiver.port());
    std::vector<int> sequences;
    for (int i = 0; i < 257; ++i) {
        ASSERT_TRUE(artNet.send({}, 0));
        const auto datagram = receiver.receive(2000);
        ASSERT_TRUE(datagram);
        sequences.push_back(quint8(datagram->bytes[12]));
    }
    EXPECT_EQ(sequences[0], 1);
    EXPECT_EQ(sequences[254], 255);
    EXPECT_EQ(sequences[255], 1);
    EXPECT_EQ(sequences[256], 2);

    ArtNet fresh = openLoopback(receiver.port());
    ASSERT_TRUE(fresh.send({}, 0));
    EXPECT_EQ(quint8(receiver.receive(2000)->bytes[12]), 1);
}

TEST(ArtNetPacket, SendingOnWithoutListenerOrWhenRefused)
{
    // An unconnected sender must not pick up the port-unreachable answer of the last datagram as an error.
    ArtNet unheard = openLoopback(freeLoopbackUdpPort());
    EXPECT_TRUE(unheard.send({}, 0));
    EXPECT_TRUE(unheard.send({}, 0));

    // Linux refuses a datagram to port 0 before it leaves the host.
    ArtNet refused = openLoopback(0);
    EXPECT_FALSE(refused.send({}, 0));
    EXPECT_FALSE(refused.send({}, 0));
    EXPECT_EQ(refused.sequence(), 2);
}

TEST(ArtNetPeer, WiresharkDecodesArtDmxFieldsAndChannels)
{
    if (!TsharkCapture::available())
        GTEST_SKIP() << "tshark is not installed (Debian package tshark)";
    LoopbackReceiver receiver;
    constexpr int kPackets = 3;
    TsharkCapture capture(receiver.port(), kPackets, 20);
    ASSERT_TRUE(capture.waitUntilCapturing(15000)) << capture.errors().toStdString();

    ArtNet artNet = openLoopback(receiver.port());
    DmxFrame frame{};
    frame[0] = 255;
    frame[1] = 128;
    frame[99] = 42;
    frame[511] = 7;
    // Keep sending until the capture has its packets: the first may pass before the filter is in place.
    const QDeadlineTimer deadline(15000);
    do {
        ASSERT_TRUE(artNet.send(frame, 4660));
    } while (!capture.waitForFinished(20) && !deadline.hasExpired());
    const std::vector<DecodedArtDmx> packets = capture.packets(5000);
    ASSERT_EQ(packets.size(), size_t(kPackets)) << capture.errors().toStdString();

    const std::vector<int> expected(frame.begin(), frame.end());
    for (size_t i = 0; i < packets.size(); ++i) {
        const DecodedArtDmx& packet = packets[i];
        EXPECT_EQ(packet.id, QStringLiteral("Art-Net"));
        EXPECT_TRUE(packet.opcode.contains(QStringLiteral("ArtDMX (0x5000)"))) << packet.opcode.toStdString();
        EXPECT_EQ(packet.protocolVersion, 14);
        EXPECT_EQ(packet.physical, 0);
        EXPECT_EQ(packet.universe, 4660); // Net 0x12, SubUni 0x34
        EXPECT_EQ(packet.length, 512);
        EXPECT_EQ(packet.channels, expected);
        EXPECT_GE(packet.sequence, 1);
        if (i > 0) {
            EXPECT_EQ(packet.sequence, packets[i - 1].sequence + 1);
        }
    }
}

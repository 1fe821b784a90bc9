#include "timelineevent.h"

#include <gtest/gtest.h>

namespace {

TimelineEvent message(Transport transport, const QString& payload, bool hex = false)
{
    TimelineEvent event;
    event.track = Track::message;
    event.transport = transport;
    event.host = QStringLiteral("127.0.0.1");
    event.port = 9000;
    event.payload = payload;
    event.hex = hex;
    event.oscAddress = QStringLiteral("/cue");
    return event;
}

} // namespace

TEST(OscBytes, StringsArePaddedToFourBytesAndAnEmptyCueIsSixteen)
{
    const TimelineEvent empty = message(Transport::osc, QString());
    EXPECT_EQ(empty.data(), QByteArray("/cue\0\0\0\0,s\0\0\0\0\0\0", 16));
    EXPECT_TRUE(empty.validMessage());

    TimelineEvent event = message(Transport::osc, QStringLiteral("go 1\n"));
    event.oscAddress = QStringLiteral("/a/bc");
    EXPECT_EQ(event.data(), QByteArray("/a/bc\0\0\0,s\0\0go 1\n\0\0\0", 20));
    event.payload = QStringLiteral("场");
    event.hex = true;
    EXPECT_EQ(event.data(), QByteArray("/a/bc\0\0\0,s\0\0\xE5\x9C\xBA\0", 16));
}

TEST(OscBytes, AddressMustStartWithSlashAndHoldNoWhitespaceOrNul)
{
    for (const QString& address :
         {QStringLiteral("cue"), QStringLiteral(""), QStringLiteral("/cue go"), QStringLiteral("/cue\t"),
          QStringLiteral("/cue\u00A0"), QStringLiteral("/cue\u3000"), QString::fromUtf16(u"/c\0ue", 5)}) {
        TimelineEvent event = message(Transport::osc, QStringLiteral("x"));
        event.oscAddress = address;
        EXPECT_EQ(event.data(), std::nullopt) << address.toStdString();
        EXPECT_FALSE(event.validMessage());
    }
    EXPECT_EQ(message(Transport::osc, QString::fromUtf16(u"a\0b", 3)).data(), std::nullopt);
}

TEST(MessageBytes, HexPairsAcrossWhitespaceElseUtf8)
{
    const std::tuple<Transport, bool, QString, std::optional<QByteArray>> cases[] = {
        {Transport::udp, true, QStringLiteral(" 0A 0b\nff "), QByteArray("\x0A\x0B\xFF", 3)},
        {Transport::tcp, true, QStringLiteral("0a\u00A00b\u3000\r\n"), QByteArray("\x0A\x0B", 2)},
        {Transport::udp, true, QStringLiteral("+5-0+f"), QByteArray("\x05\x00\x0F", 3)},
        {Transport::udp, true, QStringLiteral("  \n "), QByteArray()},
        {Transport::udp, true, QString::fromUtf16(u"0\u0301A"), std::nullopt},
        {Transport::tcp, false, QStringLiteral("GO 场景 1"), QStringLiteral("GO 场景 1").toUtf8()},
        {Transport::udp, false, QStringLiteral("0A"), QByteArray("0A")},
        {Transport::udp, false, QString(), QByteArray()},
    };
    for (const auto& [transport, hex, payload, bytes] : cases)
        EXPECT_EQ(message(transport, payload, hex).data(), bytes) << payload.toStdString();
    for (const char* bad : {"abc", "zz", "-1", "+-", "5+", "0x0A", "++", "1 2 3"})
        EXPECT_EQ(message(Transport::udp, QString::fromUtf8(bad), true).data(), std::nullopt) << bad;
}

TEST(ValidMessage, NeedsAHostAPortAndBytes)
{
    EXPECT_TRUE(message(Transport::udp, QStringLiteral("GO")).validMessage());
    for (const qint64 port : {0, 65536, -1}) {
        TimelineEvent event = message(Transport::udp, QStringLiteral("GO"));
        event.port = port;
        EXPECT_FALSE(event.validMessage()) << port;
    }
    for (const QString& host : {QString(), QStringLiteral("a host"), QStringLiteral("host\n"), QStringLiteral("\t")}) {
        TimelineEvent event = message(Transport::tcp, QStringLiteral("GO"));
        event.host = host;
        EXPECT_FALSE(event.validMessage()) << host.toStdString();
    }
    for (const Transport transport : {Transport::udp, Transport::tcp})
        EXPECT_FALSE(message(transport, QString()).validMessage());
    EXPECT_FALSE(message(Transport::udp, QStringLiteral("  \n "), true).validMessage());
    TimelineEvent named = message(Transport::tcp, QStringLiteral("GO"));
    named.host = QStringLiteral("lights.local");
    named.port = 65535;
    EXPECT_TRUE(named.validMessage());
}

TEST(ValidMessage, DatagramsStayBelow65508Bytes)
{
    TimelineEvent event = message(Transport::udp, QString(65507, u'x'));
    EXPECT_TRUE(event.validMessage());
    event.payload += u'x';
    EXPECT_FALSE(event.validMessage());
    event.transport = Transport::tcp;
    EXPECT_TRUE(event.validMessage());

    TimelineEvent osc = message(Transport::osc, QString(65507 - 8 - 4 - 4, u'x'));
    EXPECT_EQ(osc.data()->size(), 65504);
    EXPECT_TRUE(osc.validMessage());
    osc.payload += u'x';
    EXPECT_EQ(osc.data()->size(), 65508);
    EXPECT_FALSE(osc.validMessage());
}

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

TEST(OscBytes, CueWithEmptyPayloadIsSixteenBytes)
{
    const TimelineEvent event = message(Transport::osc, QString());
    const QByteArray expected("/cue\0\0\0\0,s\0\0\0\0\0\0", 16);
    EXPECT_EQ(event.data(), expected);
    EXPECT_TRUE(event.validMessage());
}

TEST(OscBytes, StringsArePaddedToFourBytes)
{
    TimelineEvent event = message(Transport::osc, QStringLiteral("go 1\n"));
    event.oscAddress = QStringLiteral("/a/bc");
    EXPECT_EQ(event.data(), QByteArray("/a/bc\0\0\0,s\0\0go 1\n\0\0\0", 20));
    event.payload = QStringLiteral("场");
    EXPECT_EQ(event.data()->mid(12), QByteArray("\xE5\x9C\xBA\0", 4));
    event.hex = true;
    EXPECT_EQ(event.data()->mid(12), QByteArray("\xE5\x9C\xBA\0", 4));
}

TEST(OscBytes, AddressMustStartWithSlashAndHoldNoWhitespaceOrNul)
{
    for (const QString& address : {QStringLiteral("cue"), QStringLiteral(""), QStringLiteral("/cue go"),
                                   QStringLiteral("/cue\t"), QStringLiteral("/cue\u00A0"), QStringLiteral("/cue\u3000"),
                                   QString::fromUtf16(u"/c\0ue", 5)}) {
        TimelineEvent event = message(Transport::osc, QStringLiteral("x"));
        event.oscAddress = address;
        EXPECT_EQ(event.data(), std::nullopt) << address.toStdString();
        EXPECT_FALSE(event.validMessage());
    }
    EXPECT_EQ(message(Transport::osc, QString::fromUtf16(u"a\0b", 3)).data(), std::nullopt);
}

TEST(HexPayload, PairsAcrossWhitespaceBecomeBytes)
{
    EXPECT_EQ(message(Transport::udp, QStringLiteral(" 0A 0b\nff "), true).data(), QByteArray("\x0A\x0B\xFF", 3));
    EXPECT_EQ(message(Transport::tcp, QStringLiteral("0a\u00A00b\u3000\r\n"), true).data(), QByteArray("\x0A\x0B", 2));
    EXPECT_EQ(message(Transport::udp, QStringLiteral("+5-0+f"), true).data(), QByteArray("\x05\x00\x0F", 3));
}

TEST(HexPayload, BadPairsOddCountsAndEmptyPayloadsGiveNothingToSend)
{
    for (const char* bad : {"abc", "zz", "-1", "+-", "5+", "0x0A", "++", "1 2 3"})
        EXPECT_EQ(message(Transport::udp, QString::fromUtf8(bad), true).data(), std::nullopt) << bad;
    EXPECT_EQ(message(Transport::udp, QString::fromUtf16(u"0\u0301A"), true).data(), std::nullopt);

    const TimelineEvent spaces = message(Transport::udp, QStringLiteral("  \n "), true);
    EXPECT_EQ(spaces.data(), QByteArray());
    EXPECT_FALSE(spaces.validMessage());
    for (const Transport transport : {Transport::udp, Transport::tcp}) {
        const TimelineEvent empty = message(transport, QString());
        EXPECT_EQ(empty.data(), QByteArray());
        EXPECT_FALSE(empty.validMessage());
    }
}

TEST(PlainPayload, IsSentAsUtf8)
{
    EXPECT_EQ(message(Transport::tcp, QStringLiteral("GO 场景 1")).data(), QStringLiteral("GO 场景 1").toUtf8());
    EXPECT_EQ(message(Transport::udp, QStringLiteral("0A")).data(), QByteArray("0A"));
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

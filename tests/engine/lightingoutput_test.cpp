#include "eventwait.h"
#include "lightingoutput.h"
#include "loopbackreceiver.h"
#include "nofiledescriptors.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

// Lighting as the engine holds it: a status line, a clock the test moves, a node listening on loopback.
class Lights : public ::testing::Test
{
  protected:
    Lights()
    {
        lights.setStatusLine({[this] { return message; }, [this](const QString& text) { message = text; }});
    }

    // The channel levels of the next packet on the wire.
    std::optional<QByteArray> nextLevels()
    {
        const auto datagram = receiver.receive(2000);
        if (!datagram || datagram->bytes.size() != ArtNet::kPacketSize)
            return std::nullopt;
        return datagram->bytes.mid(18);
    }
    // The level of a channel (1-based) in the packet sent by one tick.
    int tickedLevel(int channel)
    {
        lights.tickLights();
        const auto levels = nextLevels();
        return levels ? quint8(levels->at(channel - 1)) : -1;
    }

    double now = 100;
    QString message;
    LoopbackReceiver receiver;
    LightingOutput lights{[this] { return now; }, receiver.port()};
};

bool allZero(const QByteArray& levels)
{
    return std::all_of(levels.begin(), levels.end(), [](char level) { return level == 0; });
}

} // namespace

TEST_F(Lights, SenderComesFromTheSettingsOrTheFirstCueWithLighting)
{
    lights.configureLights(kLoopback, 7);
    EXPECT_EQ(message, QStringLiteral("Art-Net 已启用 · UDP 无回执"));
    EXPECT_TRUE(lights.isSending());
    EXPECT_FALSE(receiver.receive(100)) << "no sender existed, so no zero frame";
    lights.tickLights();
    const auto datagram = receiver.receive(2000);
    ASSERT_TRUE(datagram);
    EXPECT_EQ(quint8(datagram->bytes[14]), 7);

    LightingOutput fromCue{[this] { return now; }, receiver.port()};
    fromCue.applyLighting(Lighting{2, 90, 0}, kLoopback, 12);
    EXPECT_TRUE(fromCue.isSending());
    EXPECT_EQ(fromCue.activeUniverse(), 12);
    fromCue.tickLights();
    const auto levels = nextLevels();
    ASSERT_TRUE(levels);
    EXPECT_EQ(quint8(levels->at(1)), 90);
}

// Reconfiguring, switching off and resetting for a new show all send one zero frame from the old sender first.
TEST_F(Lights, DroppingTheSenderSendsOneZeroFrameFirst)
{
    const struct
    {
        const char* name;
        std::function<void()> drop;
        QString message;
        bool sending;
    } rows[] = {
        {"reconfigure", [&] { lights.configureLights(kLoopback, 0); }, "Art-Net 已启用 · UDP 无回执", true},
        {"switch off", [&] { lights.configureLights(QString(), 0); }, "Art-Net 已停用", false},
        {"reset", [&] { lights.resetLights(); }, "工程已打开", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        lights.configureLights(kLoopback, 0);
        receiver.drain();
        lights.applyLighting(Lighting{1, 200, 0}, kLoopback, 0);
        EXPECT_EQ(tickedLevel(1), 200);
        lights.applyLighting(Lighting{2, 255, 10}, kLoopback, 0);
        message = QStringLiteral("工程已打开");
        row.drop();
        const auto zeros = nextLevels();
        ASSERT_TRUE(zeros);
        EXPECT_TRUE(allZero(*zeros));
        EXPECT_EQ(lights.dmx(), DmxFrame{});
        EXPECT_FALSE(lights.fadeRunning());
        EXPECT_EQ(message, row.message);
        EXPECT_EQ(lights.isSending(), row.sending);
        if (!row.sending) {
            lights.tickLights();
            EXPECT_FALSE(receiver.receive(100));
        }
    }
}

TEST_F(Lights, BadAddressIsReportedAndStartsNoFade)
{
    lights.configureLights(QStringLiteral("lights.local"), 3);
    EXPECT_EQ(message, QStringLiteral("请输入有效的 IPv4 地址"));
    EXPECT_FALSE(lights.isSending());
    EXPECT_EQ(lights.activeUniverse(), 3);

    message = QStringLiteral("开场");
    lights.applyLighting(Lighting{1, 255, 1}, QString(), 0);
    EXPECT_EQ(message, QStringLiteral("开场 · Art-Net 地址无效"));
    EXPECT_FALSE(lights.fadeRunning());
    lights.applyLighting(std::nullopt, QString(), 0);
    EXPECT_EQ(message, QStringLiteral("开场 · Art-Net 地址无效")) << "a cue without lighting says nothing";
}

TEST_F(Lights, SocketFailureSaysSoInsteadOfBlamingTheAddress)
{
    {
        NoFileDescriptors limit;
        lights.configureLights(kLoopback, 0);
    }
    EXPECT_EQ(message, QStringLiteral("Art-Net 套接字创建失败：同时打开的文件过多")) << message.toStdString();
    EXPECT_FALSE(lights.isSending());

    message = QStringLiteral("开场");
    {
        NoFileDescriptors limit;
        lights.applyLighting(Lighting{1, 255, 0}, kLoopback, 0);
    }
    EXPECT_TRUE(message.startsWith(QStringLiteral("开场 · Art-Net 套接字创建失败："))) << message.toStdString();
    EXPECT_FALSE(lights.fadeRunning());
}

TEST_F(Lights, FadeFromZeroTo255OverTwoSecondsPassesHalfAt128)
{
    lights.configureLights(kLoopback, 0);
    lights.applyLighting(Lighting{1, 255, 2}, kLoopback, 0);
    EXPECT_EQ(tickedLevel(1), 0);
    now += 1;
    EXPECT_EQ(tickedLevel(1), 128); // 127.5 rounds away from zero
    now += 0.96;
    EXPECT_LT(tickedLevel(1), 255);
    EXPECT_TRUE(lights.fadeRunning());
    now += 0.04;
    EXPECT_EQ(tickedLevel(1), 255);
    EXPECT_FALSE(lights.fadeRunning());
    now += 5;
    EXPECT_EQ(tickedLevel(1), 255);
}

TEST_F(Lights, NewActionStartsFromTheLevelReachedAndKeepsIt)
{
    lights.configureLights(kLoopback, 0);
    lights.applyLighting(Lighting{1, 255, 2}, kLoopback, 0);
    now += 1;
    EXPECT_EQ(tickedLevel(1), 128);
    lights.applyLighting(Lighting{2, 100, 0}, kLoopback, 0);
    now += 5;
    EXPECT_EQ(tickedLevel(1), 128) << "the replaced fade stops where it was";
    EXPECT_EQ(quint8(lights.dmx()[1]), 100);

    lights.applyLighting(Lighting{2, 0, 4}, kLoopback, 0);
    now += 1;
    EXPECT_EQ(tickedLevel(2), 75);
}

TEST_F(Lights, ZeroNegativeOrNonFiniteFadeJumpsAtTheNextTick)
{
    lights.configureLights(kLoopback, 0);
    int level = 10;
    for (const double fade :
         {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        lights.applyLighting(Lighting{1, level, fade}, kLoopback, 0);
        EXPECT_EQ(tickedLevel(1), level) << fade;
        EXPECT_FALSE(lights.fadeRunning()) << fade;
        level += 10;
    }
}

TEST_F(Lights, AddressAndLevelAreClampedToTheFrame)
{
    lights.configureLights(kLoopback, 0);
    const struct
    {
        Lighting lighting;
        int channel;
        int level;
    } rows[] = {{{0, 300, 0}, 1, 255},
                {{600, 77, 0}, 512, 77},
                {{1, -5, 0}, 1, 0},
                {{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max(), 0}, 1, 255},
                {{std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), 0}, 512, 0}};
    for (const auto& row : rows) {
        lights.applyLighting(row.lighting, kLoopback, 0);
        EXPECT_EQ(tickedLevel(row.channel), row.level) << row.lighting.address;
    }
}

TEST_F(Lights, BlackSendsZerosAndRestoresTheLevelsWhenCleared)
{
    lights.configureLights(kLoopback, 0);
    lights.applyLighting(Lighting{3, 180, 2}, kLoopback, 0);
    lights.setLightsBlack(true);
    now += 1;
    lights.tickLights();
    const auto black = nextLevels();
    ASSERT_TRUE(black);
    EXPECT_TRUE(allZero(*black));
    EXPECT_EQ(lights.dmx()[2], 90) << "the fade goes on while black";

    lights.setLightsBlack(false);
    now += 1;
    EXPECT_EQ(tickedLevel(3), 180);
}

TEST_F(Lights, FailedSendIsAppendedOnceAndSendingGoesOn)
{
    // Linux refuses a datagram to port 0 before it leaves the host.
    LightingOutput refused([this] { return now; }, 0);
    refused.setStatusLine({[this] { return message; }, [this](const QString& text) { message = text; }});
    refused.configureLights(kLoopback, 0);
    for (int i = 0; i < 3; ++i)
        refused.tickLights();
    EXPECT_EQ(message, QStringLiteral("Art-Net 已启用 · UDP 无回执 · Art-Net 发送失败"));
    EXPECT_TRUE(refused.isSending());
}

TEST(LightsTimer, SendsEvery40MillisecondsWhileConfiguredAndStopsWhenSwitchedOff)
{
    LoopbackReceiver receiver;
    LightingOutput lights(LightingOutput::systemUptime, receiver.port());
    lights.startTicking();
    runEvents(200);
    EXPECT_TRUE(receiver.drain().empty()) << "nothing is sent before Art-Net is configured";

    lights.configureLights(kLoopback, 0);
    QElapsedTimer sending;
    sending.start();
    std::vector<ReceivedDatagram> packets;
    ASSERT_TRUE(waitUntil([&] {
        for (ReceivedDatagram& packet : receiver.drain())
            packets.push_back(std::move(packet));
        return packets.size() >= 25;
    }));
    // A timer may fire a little early, never in bursts.
    EXPECT_LE(packets.size(), size_t(sending.elapsed() / 35 + 2));
    std::vector<double> intervals;
    for (size_t i = 1; i < packets.size(); ++i)
        intervals.push_back(packets[i].arrival - packets[i - 1].arrival);
    std::nth_element(intervals.begin(), intervals.begin() + intervals.size() / 2, intervals.end());
    EXPECT_NEAR(intervals[intervals.size() / 2], 0.040, 0.010);

    lights.configureLights(QString(), 0);
    const auto zeros = receiver.receive(10000);
    ASSERT_TRUE(zeros);
    EXPECT_TRUE(allZero(zeros->bytes.mid(18)));
    runEvents(300);
    EXPECT_TRUE(receiver.drain().empty());
}

#include "remotehostfixture.h"

#include <QSignalSpy>

class RemoteGuessing : public RemoteHostTest
{
  protected:
    void SetUp() override
    {
        RemoteHostTest::SetUp();
        host->start(true);
    }
    RemoteStatus guess(const RemotePeer& peer = phone) { return ask(request(RemoteAction::status, "99999999"), peer); }
    RemoteStatus rightCode(const RemotePeer& peer = phone) { return withCode(RemoteAction::status, peer); }
    static bool saysTryLater(const RemoteStatus& status, int seconds)
    {
        return status.error == QStringLiteral("连接码错误次数过多 · 请 %1 秒后再试").arg(seconds) &&
               status.cues.isEmpty();
    }
};

TEST_F(RemoteGuessing, FiveWrongCodesLockThePeerOutWhileOthersGetIn)
{
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(guess().error, kBadCode);
    EXPECT_TRUE(saysTryLater(guess(), 30));
    EXPECT_TRUE(saysTryLater(rightCode(), 30)) << "the right code is not even looked at";
    EXPECT_FALSE(rightCode(network(QStringLiteral("127.0.0.2"))).error);
    EXPECT_FALSE(rightCode({RemotePeer::Link::bluetooth, phone.address}).error) << "another link is another peer";
    ASSERT_EQ(host->lockouts().size(), 1);
    EXPECT_EQ(host->lockouts().first().peer, phone);

    clock->now += 20;
    EXPECT_TRUE(saysTryLater(rightCode(), 10));
    clock->now += 10;
    EXPECT_FALSE(rightCode().error);
    EXPECT_TRUE(host->lockouts().isEmpty());
}

TEST_F(RemoteGuessing, RepeatedLockOutsDoubleUpToFifteenMinutes)
{
    for (int seconds : {30, 60, 120, 240, 480, 900, 900}) {
        for (int i = 0; i < 5; ++i)
            guess();
        EXPECT_TRUE(saysTryLater(rightCode(), seconds)) << seconds;
        clock->now += seconds;
    }
    // A peer that keeps quiet long enough starts again from the first lock-out.
    clock->now += 15 * 60;
    for (int i = 0; i < 5; ++i)
        guess();
    EXPECT_TRUE(saysTryLater(rightCode(), 30));
}

TEST_F(RemoteGuessing, SlowGuessesOutsideTheMinuteDoNotLockOut)
{
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(guess().error, kBadCode) << i;
        clock->now += 15.1;
    }
    EXPECT_FALSE(rightCode().error);
}

TEST_F(RemoteGuessing, FiftyWrongCodesOverallRetireTheCodeButNotApprovedPhones)
{
    const QString approved = deviceID();
    pair(approved);
    host->decide(host->pending().first(), true);
    const QString first = host->code();
    QSignalSpy codeChanges(host.get(), &RemoteHost::codeChanged);
    for (int peer = 0; peer < 12; ++peer)
        for (int i = 0; i < 4; ++i)
            guess(network(QStringLiteral("10.0.0.%1").arg(peer)));
    EXPECT_EQ(host->failedAttempts(), 48);
    EXPECT_TRUE(codeChanges.isEmpty());
    guess(network(QStringLiteral("10.0.1.1")));
    guess(network(QStringLiteral("10.0.1.2")));
    EXPECT_EQ(codeChanges.size(), 1);
    EXPECT_EQ(host->failedAttempts(), 0);
    EXPECT_NE(host->code(), first);
    EXPECT_EQ(host->code().size(), 8);

    EXPECT_EQ(ask(request(RemoteAction::status, first), network(QStringLiteral("10.0.2.1"))).error, kBadCode);
    EXPECT_FALSE(rightCode(network(QStringLiteral("10.0.2.2"))).error);
    EXPECT_FALSE(ask(request(RemoteAction::status, approved)).error);
}

TEST_F(RemoteGuessing, ApprovedPhoneKeepsWorkingFromALockedOutAddress)
{
    const QString approved = deviceID();
    pair(approved);
    host->decide(host->pending().first(), true);
    for (int i = 0; i < 5; ++i)
        guess();
    EXPECT_FALSE(ask(request(RemoteAction::status, approved)).error);
    EXPECT_EQ(pair(deviceID()).pairing, QStringLiteral("pending")) << "pairing needs no code and is not locked";
}

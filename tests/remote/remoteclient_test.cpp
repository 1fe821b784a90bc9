#include "remotetcpfixture.h"

#include <QProcess>

// The conformance client against the host's own TCP listener on 127.0.0.1.
class RemoteClient : public RemoteTcpTest
{
  protected:
    void SetUp() override
    {
        RemoteTcpTest::SetUp();
        startListening();
    }

    // Runs the client to its end with the event loop turning; returns its exit status and keeps its output.
    int run(const QStringList& arguments)
    {
        QProcess client;
        client.start(QStringLiteral("python3"),
                     QStringList{QStringLiteral(LUMO_REMOTE_CLIENT), QStringLiteral("--port"),
                                 QString::number(listener->port())} +
                         arguments);
        EXPECT_TRUE(waitUntil([&] { return client.state() == QProcess::NotRunning; }, 30000));
        output = QString::fromUtf8(client.readAllStandardOutput()).trimmed().split(u'\n').last();
        errors = QString::fromUtf8(client.readAllStandardError());
        return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
    }
    RemoteStatus lastReply() const { return RemoteStatus::decode(output.toUtf8()).value_or(RemoteStatus{}); }

    QString output;
    QString errors;
};

TEST_F(RemoteClient, PairsWithTheOperatorsApprovalAndSteersWithItsDeviceID)
{
    QObject::connect(host.get(), &RemoteHost::pendingChanged, [this] {
        if (!host->pending().isEmpty())
            host->decide(host->pending().first(), true);
    });
    const QString id = deviceID();
    ASSERT_EQ(run({"--device-id", id, "pair", "--name", "舞台手机", "--wait", "20", "--interval", "0.05"}), 0)
        << errors.toStdString();
    EXPECT_EQ(lastReply().pairing, QStringLiteral("approved"));

    EXPECT_EQ(run({"--device-id", id, "go", "--mode", "once"}), 0) << errors.toStdString();
    EXPECT_TRUE(onAir(0));
    EXPECT_EQ(lastReply().current, cue(0).id);
    EXPECT_EQ(run({"--device-id", id, "play", cue(2).id.toString(QUuid::WithoutBraces), "--mode", "loop"}), 0);
    EXPECT_TRUE(onAir(2));
    EXPECT_EQ(run({"--device-id", id, "blackout", "on"}), 0);
    EXPECT_TRUE(engine->videoBlack());
    EXPECT_EQ(run({"--code", host->code(), "mute", "on"}), 0);
    EXPECT_TRUE(engine->muted());
}

TEST_F(RemoteClient, RefusalsAndUnreachableConsolesHaveTheirOwnExitStatus)
{
    EXPECT_EQ(run({"--code", "00000000", "status"}), 1) << errors.toStdString();
    EXPECT_EQ(lastReply().error, kBadCode);
    EXPECT_EQ(run({"send", R"({"code":"1","action":"launch"})"}), 0);
    EXPECT_EQ(lastReply().error, kClosed);
    const QString code = host->code();
    host->stop();
    EXPECT_EQ(run({"--code", code, "status"}), 2);
    EXPECT_TRUE(errors.contains(QStringLiteral("refused"))) << errors.toStdString();
}

#pragma once

#include "enginefixture.h"
#include "remotehost.h"

#include <QQueue>

// A remote host on a real engine (fake players), with the engine's fake clock and codes the test deals out.
class RemoteHostTest : public EngineTest
{
  protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        host = makeHost(clock);
    }

    std::unique_ptr<RemoteHost> makeHost(std::shared_ptr<Clock> hostClock, double pairingLifetime = 90)
    {
        RemoteHost::Services services;
        services.clock = std::move(hostClock);
        services.drawCode = [this] { return codes.isEmpty() ? 0u : codes.dequeue(); };
        services.pairingLifetime = pairingLifetime;
        return std::make_unique<RemoteHost>(engine.get(), services);
    }

    RemoteStatus ask(const RemoteRequest& request, const RemotePeer& peer = phone)
    {
        return ask(request.encode(), peer);
    }
    RemoteStatus ask(const QByteArray& bytes, const RemotePeer& peer = phone)
    {
        const QByteArray reply = host->reply(bytes, peer);
        EXPECT_FALSE(reply.contains('\n'));
        return RemoteStatus::decode(reply).value_or(RemoteStatus{});
    }
    static RemoteRequest request(RemoteAction action, const QString& code)
    {
        RemoteRequest made;
        made.action = action;
        made.code = code;
        return made;
    }
    RemoteStatus withCode(RemoteAction action, const RemotePeer& peer = phone)
    {
        return ask(request(action, host->code()), peer);
    }
    RemoteStatus pair(const QString& deviceID, const RemotePeer& peer = phone,
                      std::optional<QString> name = std::nullopt)
    {
        RemoteRequest made = request(RemoteAction::pair, deviceID);
        made.deviceName = std::move(name);
        return ask(made, peer);
    }
    RemoteStatus pairingStatus(const QString& deviceID) { return ask(request(RemoteAction::pairingStatus, deviceID)); }
    static QString deviceID() { return QUuid::createUuid().toString(QUuid::WithoutBraces); }
    static RemotePeer network(const QString& address) { return {RemotePeer::Link::network, address}; }

    static inline const RemotePeer phone{RemotePeer::Link::network, QStringLiteral("127.0.0.1")};
    static inline const QString kClosed = QStringLiteral("遥控已关闭或请求无效");
    static inline const QString kBadCode = QStringLiteral("连接码无效或遥控已关闭");
    QQueue<quint32> codes{{12345678u, 1234567u, 424242u, 7u}};
    std::unique_ptr<RemoteHost> host;
};

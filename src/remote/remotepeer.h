#pragma once

#include <QHash>
#include <QString>

// Who sent a request, as the transport that carried it knows them. Throttling and pairing count per peer, and the
// panel shows it beside a phone's own (untrusted) name.
struct RemotePeer
{
    enum class Link { network, bluetooth };

    Link link = Link::network;
    // The IP address (without port) for the network, the device address for Bluetooth.
    QString address;

    // For the operator: "网络 192.168.1.20", "蓝牙 AA:BB:CC:DD:EE:FF".
    QString text() const;

    bool operator==(const RemotePeer&) const = default;
};

inline size_t qHash(const RemotePeer& peer, size_t seed = 0)
{
    return qHashMulti(seed, int(peer.link), peer.address);
}

#pragma once

#include "remotepeer.h"

class RemoteHost;

// One way phones reach the host (the TCP listener, the Bluetooth peripheral). The host starts and stops it with
// the remote; it hands each whole request to RemoteHost::reply (or, decoded already, to answer) on the main thread
// with the sender's peer identity and sends back what it returns, and it reports its state in the host's lan or
// bluetooth text.
class RemoteTransport
{
  public:
    virtual ~RemoteTransport() = default;
    virtual RemotePeer::Link link() const = 0;
    virtual void start(RemoteHost& host) = 0;
    // Closes everything it holds; the host is still alive.
    virtual void stop() = 0;
};

#pragma once

#include "discovery/udp_socket.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

// What the reply listener asks of the system: a socket, its bind, a
// readiness wait and a thread. The listener takes them from here and from
// nowhere else, so that a test can make any one of them fail.
class TListenerSystem {
public:
    virtual ~TListenerSystem() = default;

    virtual TUdpSocket MakeSocket(TAddressFamily family);
    virtual void BindWildcard(TUdpSocket& socket, std::uint16_t port);
    virtual TWaitResult WaitReadable(TUdpSocket& socket, std::chrono::milliseconds timeout);
    virtual std::thread StartThread(std::function<void()> body);
};

// The system itself: every call goes straight to the socket or std::thread.
TListenerSystem& DefaultListenerSystem();

#pragma once

#include "discovery/udp_socket.h"

#include <cstdint>
#include <string>

// One socket of the reply listener, with the sender of the datagram it took
// in last. Only the socket's own receiving thread writes the sender's fields,
// just before a hand-over; the handler reads them while that thread is
// blocked in the hand-over, so they need no lock.
struct TUdpBinding {
    explicit TUdpBinding(TAddressFamily family) : Socket(family), IPVersion(family) {}

    // PeerIP: IPv4 dotted decimal ("192.168.0.50"); IPv6 eight upper-case
    // groups without leading zeros and without "::" ("FD00:0:0:0:0:0:0:2").
    void StorePeer(const TPeerAddress& peer);

    TUdpSocket Socket;
    TAddressFamily IPVersion;
    std::string PeerIP;
    std::uint16_t PeerPort = 0;
};

#pragma once

#include "discovery/udp_socket.h"

#include <cstdint>
#include <string>
#include <utility>

// One socket of the reply listener, with the sender of the datagram being
// handled. The sender's fields are written on the user-interface thread just
// before the handler runs for that datagram, and read by the handler, while
// the socket's receiving thread is blocked in the hand-over; so they need no
// lock.
struct TUdpBinding {
    explicit TUdpBinding(TAddressFamily family) : TUdpBinding(family, TUdpSocket(family)) {}
    TUdpBinding(TAddressFamily family, TUdpSocket socket) : Socket(std::move(socket)), IPVersion(family) {}

    // PeerIP: IPv4 dotted decimal ("192.168.0.50"); IPv6 eight upper-case
    // groups without leading zeros and without "::" ("FD00:0:0:0:0:0:0:2"),
    // with "%" and the interface's index after a scoped (link-local) one
    // ("FE80:0:0:0:0:0:0:2%3").
    void StorePeer(const TPeerAddress& peer);

    TUdpSocket Socket;
    TAddressFamily IPVersion;
    std::string PeerIP;
    std::uint16_t PeerPort = 0;
};

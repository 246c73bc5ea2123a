#include "discovery/port_sharing.h"

#include "discovery/udp_socket.h"

// Winsock lets a bind to (a local address, port) coexist with a wildcard
// bind of the same port in the same process with address reuse off on both,
// so nothing is switched on.

void SharePortWithSender(TUdpSocket&) {}

void SharePortWithListener(TUdpSocket& senderSocket)
{
    senderSocket.SetOption(TSocketOption::ReuseAddress, 0);
}

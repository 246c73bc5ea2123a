#include "discovery/port_sharing.h"

#include "discovery/udp_socket.h"

// Linux lets a specific bind share the port with a wildcard one only when
// both sockets allow it. SO_REUSEADDR would do, but it asks nothing about
// who owns the other socket: a process of another user could then bind the
// port beside the listener, on the wildcard or the device-facing address,
// and the more specific binding would take the devices' replies. With
// SO_REUSEPORT the kernel also demands the same owner (the effective uid of
// the sockets' creators), with or without SO_REUSEADDR on the intruder's
// side. Address reuse stays off on both of our sockets.

void SharePortWithSender(TUdpSocket& listenerSocket)
{
    // Set after the bind: a socket that binds the wildcard port later (a
    // second copy of the program) finds the option off at its own bind
    // time and is refused, as it finds this socket without address reuse.
    listenerSocket.SetOption(TSocketOption::ReusePort, 1);
}

void SharePortWithListener(TUdpSocket& senderSocket)
{
    senderSocket.SetOption(TSocketOption::ReuseAddress, 0);
    senderSocket.SetOption(TSocketOption::ReusePort, 1);
}

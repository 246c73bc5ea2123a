#pragma once

class TUdpSocket;

// The reply listener holds the wildcard address on the discovery port while
// a scan binds (a local address, the same port) beside it. These two calls
// set the options that let both coexist, in a way that the socket layer
// keeps to the sockets of the same user where it can.

// On the listener's IPv4 socket, after its bind. The bind itself is made
// with address reuse off, so a second copy of the program stays refused.
void SharePortWithSender(TUdpSocket& listenerSocket);

// On the sender's socket, before its bind.
void SharePortWithListener(TUdpSocket& senderSocket);

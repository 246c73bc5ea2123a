#include "discovery/datagram_batch.h"
#include "discovery/udp_socket.h"

// Winsock has no batch receive: one datagram per call.
std::size_t TUdpSocket::ReceiveWaiting(TDatagramBatch& batch)
{
    batch.Received(0) = Receive(batch.Slot(0));
    return 1;
}

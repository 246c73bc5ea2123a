#include "discovery/udp_client.h"

#include "discovery/port_sharing.h"

#include <stdexcept>

namespace {

constexpr const char* LimitedBroadcast = "255.255.255.255";

}  // namespace

void TIdUDPClient::SetActive(bool active)
{
    if (active)
        Activate();
    else
        Deactivate();
}

void TIdUDPClient::Activate()
{
    if (socket_)
        return;
    TUdpSocket socket(TAddressFamily::IPv4);
    // The reply listener holds the wildcard address on this port.
    SharePortWithListener(socket);
    socket.Bind(boundIP_, boundPort_);
    socket.SetOption(TSocketOption::Broadcast, broadcastEnabled_ ? 1 : 0);
    // Held only once every step has succeeded; a failed step leaves the
    // local socket to be closed on the way out.
    socket_ = std::move(socket);
}

void TIdUDPClient::Broadcast(std::span<const std::uint8_t> bytes, std::uint16_t port)
{
    Activate();
    socket_->SetOption(TSocketOption::Broadcast, 1);
    // This socket holds (BoundIP, BoundPort), the more specific binding for
    // a device's unicast answer than the reply listener's wildcard socket.
    // Connected to the broadcast address it takes no datagram from any
    // device, so an answer that comes back before it is closed still
    // reaches the listener instead of dying here unread.
    socket_->Connect(LimitedBroadcast, port);
    const std::size_t sent = socket_->Send(bytes);
    if (sent < bytes.size())
        throw std::runtime_error("Fewer bytes sent than the datagram holds");
    socket_->SetOption(TSocketOption::Broadcast, broadcastEnabled_ ? 1 : 0);
}

void TIdUDPClient::Deactivate() noexcept
{
    if (!socket_)
        return;
    socket_->ShutdownAndClose();
    socket_.reset();
}

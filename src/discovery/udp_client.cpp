#include "discovery/udp_client.h"

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
    // Where the platform only lets this bind share the port with the reply
    // listener's wildcard socket when both allow address reuse, allow it.
    socket.SetOption(TSocketOption::ReuseAddress, PortSharingNeedsAddressReuse() ? 1 : 0);
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
    const std::size_t sent = socket_->SendTo(bytes, LimitedBroadcast, port);
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

#pragma once

#include "discovery/udp_socket.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

// The window's request sender, IdUDPClient1: an IPv4 datagram sender bound to
// exactly (BoundIP, BoundPort). It holds a socket only while Active.
class TIdUDPClient {
public:
    bool BroadcastEnabled() const { return broadcastEnabled_; }
    void SetBroadcastEnabled(bool enabled) { broadcastEnabled_ = enabled; }
    std::uint16_t BoundPort() const { return boundPort_; }
    void SetBoundPort(std::uint16_t port) { boundPort_ = port; }
    std::uint16_t Port() const { return port_; }  // default destination; the scan names its own
    void SetPort(std::uint16_t port) { port_ = port; }
    const std::string& BoundIP() const { return boundIP_; }
    void SetBoundIP(std::string address) { boundIP_ = std::move(address); }

    bool Active() const { return socket_.has_value(); }
    void SetActive(bool active);

    // Opens and binds the socket; does nothing when active already. Raises
    // TSocketError, and then holds no socket.
    void Activate();
    // Sends `bytes` as one datagram to 255.255.255.255:`port`, activating
    // first when inactive. Raises when the system reports an error or fewer
    // bytes sent.
    void Broadcast(std::span<const std::uint8_t> bytes, std::uint16_t port);
    // Shuts the socket down and closes it; does nothing without a socket.
    void Deactivate() noexcept;

private:
    bool broadcastEnabled_ = false;
    std::uint16_t boundPort_ = 0;
    std::uint16_t port_ = 0;
    std::string boundIP_;
    std::optional<TUdpSocket> socket_;
};

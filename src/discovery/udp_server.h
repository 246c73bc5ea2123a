#pragma once

#include "discovery/datagram.h"
#include "discovery/listener_system.h"
#include "discovery/socket_bind_error.h"
#include "discovery/socket_error.h"
#include "discovery/udp_binding.h"
#include "discovery/udp_listener_thread.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class THandOver;

// The reply listener: UDP sockets on the wildcard addresses (IPv4, then IPv6
// when the socket layer has it), one receiving thread per socket, every
// datagram handed over to the user-interface thread and given to OnUDPRead
// there. Activated once; destroying it stops and waits for every thread.
class TUdpServer {
public:
    static constexpr int DefaultReceiveBufferSize = 8 * 1024 * 1024;

    // `system` makes the sockets and threads; it must outlive the listener.
    explicit TUdpServer(THandOver& handOver, std::string name = "IdUDPServer1",
                        TListenerSystem& system = DefaultListenerSystem());
    ~TUdpServer();
    TUdpServer(const TUdpServer&) = delete;
    TUdpServer& operator=(const TUdpServer&) = delete;

    // Settings, read when the listener is activated.
    std::uint16_t DefaultPort = DiscoveryPort;
    std::size_t BufferSize = 8192;  // larger datagrams are discarded whole
    // Asked for on every socket: room for thousands of replies to one
    // broadcast while the user-interface thread is busy (the system default
    // holds a few hundred). The system may cap it; 0 keeps the default.
    int ReceiveBufferSize = DefaultReceiveBufferSize;
    TUdpReadHandler OnUDPRead;
    // Runs on the user-interface thread after OnUDPRead has run for every
    // datagram of one hand-over (a receiving thread hands over what it took
    // in at once).
    std::function<void()> OnUDPHandOverDone;

    // Binds the sockets and starts the receiving threads, all or nothing.
    // Raises TSocketBindError when a bind is refused, TSocketError when a
    // socket cannot be made or set up, and what the system raised when a
    // thread cannot be started; every thread started before has been
    // stopped and waited for then, and every socket is closed. Call it
    // once, on the user-interface thread.
    void Activate();
    bool Active() const { return !threads_.empty(); }
    // Any thread. While set, the receiving threads take datagrams in and
    // drop them at once, without handing them over: a flood then costs the
    // user-interface thread nothing.
    void SetDiscarding(bool discarding) { discarding_ = discarding; }

    const std::vector<std::unique_ptr<TUdpBinding>>& Bindings() const { return bindings_; }
    std::size_t ThreadCount() const { return threads_.size(); }

private:
    void Bind(std::vector<std::unique_ptr<TUdpBinding>>& bound, TAddressFamily family) const;
    void StartThreads();
    void Deactivate();
    static void CloseNewestFirst(std::vector<std::unique_ptr<TUdpBinding>>& bindings);

    THandOver& handOver_;
    std::string name_;
    TListenerSystem& system_;
    std::vector<std::unique_ptr<TUdpBinding>> bindings_;
    std::atomic<bool> discarding_{false};
    std::vector<std::unique_ptr<TUdpListenerThread>> threads_;
};

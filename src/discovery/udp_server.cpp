#include "discovery/udp_server.h"

#include "discovery/hand_over.h"

TUdpServer::TUdpServer(THandOver& handOver, std::string name) : handOver_(handOver), name_(std::move(name)) {}

TUdpServer::~TUdpServer()
{
    Deactivate();
}

void TUdpServer::Activate()
{
    if (Active())
        return;
    std::vector<std::unique_ptr<TUdpBinding>> bound;
    try {
        Bind(bound, TAddressFamily::IPv4);
        if (IPv6DatagramSocketsAvailable())
            Bind(bound, TAddressFamily::IPv6);
    } catch (...) {
        // Only to close the sockets bound so far, the most recent first,
        // before the failure leaves activation unchanged.
        while (!bound.empty())
            bound.pop_back();
        throw;
    }
    bindings_ = std::move(bound);
    StartThreads();
}

void TUdpServer::Bind(std::vector<std::unique_ptr<TUdpBinding>>& bound, TAddressFamily family) const
{
    auto binding = std::make_unique<TUdpBinding>(family);
    TUdpSocket& socket = binding->Socket;
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    if (family == TAddressFamily::IPv6)
        socket.SetOption(TSocketOption::IPv6Only, 1);  // else Linux's dual-stack socket takes IPv4's port too
    if (ReceiveBufferSize > 0)
        socket.SetOption(TSocketOption::ReceiveBufferSize, ReceiveBufferSize);
    try {
        socket.BindWildcard(DefaultPort);
    } catch (const TSocketError&) {
        // Whatever the socket layer's reason, a refused bind is reported as
        // the port being in use.
        throw TSocketBindError();
    }
    // The scan binds (a local address, this port) beside this socket; where
    // the platform demands it, that needs address reuse on here as well.
    if (PortSharingNeedsAddressReuse())
        socket.SetOption(TSocketOption::ReuseAddress, 1);
    bound.push_back(std::move(binding));
}

void TUdpServer::StartThreads()
{
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        threads_.push_back(
            std::make_unique<TUdpListenerThread>(*bindings_[i], handOver_, OnUDPRead, BufferSize, name_, i + 1));
        threads_.back()->Start();
    }
}

void TUdpServer::Deactivate()
{
    // Thread by thread in the order they were made; each wait carries out the
    // hand-overs of any thread that is blocked in one, so none can deadlock.
    while (!threads_.empty()) {
        threads_.front()->Stop();
        threads_.front()->WaitForEnd();
        threads_.erase(threads_.begin());
    }
    // Only now, with no thread left to use them, are the sockets closed.
    bindings_.clear();
}

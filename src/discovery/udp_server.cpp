#include "discovery/udp_server.h"

#include "discovery/hand_over.h"
#include "discovery/listener_system.h"
#include "discovery/port_sharing.h"

TUdpServer::TUdpServer(THandOver& handOver, std::string name, TListenerSystem& system)
    : handOver_(handOver), name_(std::move(name)), system_(system)
{
}

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
        // Only to close the sockets bound so far before the failure leaves
        // activation unchanged.
        CloseNewestFirst(bound);
        throw;
    }
    bindings_ = std::move(bound);
    try {
        StartThreads();
    } catch (...) {
        // Only to undo the start: the threads running already are stopped
        // and waited for, and every socket is closed, before the failure
        // leaves; the window being built must find nothing running.
        Deactivate();
        throw;
    }
}

void TUdpServer::Bind(std::vector<std::unique_ptr<TUdpBinding>>& bound, TAddressFamily family) const
{
    auto binding = std::make_unique<TUdpBinding>(family, system_.MakeSocket(family));
    TUdpSocket& socket = binding->Socket;
    socket.SetOption(TSocketOption::ReuseAddress, 0);
    if (family == TAddressFamily::IPv6)
        socket.SetOption(TSocketOption::IPv6Only, 1);  // else Linux's dual-stack socket takes IPv4's port too
    if (ReceiveBufferSize > 0)
        socket.SetOption(TSocketOption::ReceiveBufferSize, ReceiveBufferSize);
    try {
        system_.BindWildcard(socket, DefaultPort);
    } catch (const TSocketError&) {
        // Whatever the socket layer's reason, a refused bind is reported as
        // the port being in use.
        throw TSocketBindError();
    }
    // The scan binds (a local address, this port) beside this socket. It
    // sends IPv4 only, so the IPv6 socket shares its port with nobody.
    if (family == TAddressFamily::IPv4)
        SharePortWithSender(socket);
    bound.push_back(std::move(binding));
}

void TUdpServer::StartThreads()
{
    for (std::size_t i = 0; i < bindings_.size(); ++i) {
        // Listed before it starts, so that a failed start is undone with
        // the others.
        threads_.push_back(std::make_unique<TUdpListenerThread>(
            *bindings_[i], handOver_, system_, TUdpReadHandlers{OnUDPRead, OnUDPHandOverDone}, discarding_,
            BufferSize, name_, i + 1));
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
    CloseNewestFirst(bindings_);
}

void TUdpServer::CloseNewestFirst(std::vector<std::unique_ptr<TUdpBinding>>& bindings)
{
    while (!bindings.empty())
        bindings.pop_back();
}

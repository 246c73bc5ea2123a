#include "discovery/listener_system.h"

TUdpSocket TListenerSystem::MakeSocket(TAddressFamily family)
{
    return TUdpSocket(family);
}

void TListenerSystem::BindWildcard(TUdpSocket& socket, std::uint16_t port)
{
    socket.BindWildcard(port);
}

TWaitResult TListenerSystem::WaitReadable(TUdpSocket& socket, std::chrono::milliseconds timeout)
{
    return socket.WaitReadable(timeout);
}

std::thread TListenerSystem::StartThread(std::function<void()> body)
{
    return std::thread(std::move(body));
}

TListenerSystem& DefaultListenerSystem()
{
    static TListenerSystem system;
    return system;
}

#include "failing_listener_system.h"

#include "discovery/socket_error.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

TUdpSocket TFailingListenerSystem::MakeSocket(TAddressFamily family)
{
    Take(TListenerStep::Socket);
    return TListenerSystem::MakeSocket(family);
}

void TFailingListenerSystem::BindWildcard(TUdpSocket& socket, std::uint16_t port)
{
    Take(TListenerStep::Bind);
    TListenerSystem::BindWildcard(socket, port);
}

std::thread TFailingListenerSystem::StartThread(std::function<void()> body)
{
    Take(TListenerStep::Thread);
    return TListenerSystem::StartThread(std::move(body));
}

void TFailingListenerSystem::Take(TListenerStep step)
{
    if (step != step_ || ++calls_[static_cast<int>(step)] != failAt_)
        return;
    if (BeforeFailing)
        BeforeFailing();
    switch (step) {
    case TListenerStep::Socket: throw TSocketError(EMFILE);
    case TListenerStep::Bind: throw TSocketError(EADDRINUSE);
    case TListenerStep::Thread: throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
}

std::string ExpectedMessage(TListenerStep step)
{
    switch (step) {
    case TListenerStep::Socket:
        return "Socket Error # " + std::to_string(EMFILE) + "\n" + std::strerror(EMFILE);
    case TListenerStep::Bind:
        return "Could not bind socket. Address and port are already in use.";
    case TListenerStep::Thread:
        return std::make_error_code(std::errc::resource_unavailable_try_again).message();
    }
    return {};
}

#include "discovery/udp_socket.h"

#include "discovery/socket_error.h"

// The platform-neutral part; the system calls live in posix/udp_socket.cpp
// and windows/udp_socket.cpp.

TUdpSocket::~TUdpSocket()
{
    ShutdownAndClose();
}

TUdpSocket::TUdpSocket(TUdpSocket&& other) noexcept
    : handle_(other.handle_.exchange(ClosedHandle)),
      waitInterrupt_(other.waitInterrupt_.exchange(ClosedHandle)),
      family_(other.family_)
{
}

TUdpSocket& TUdpSocket::operator=(TUdpSocket&& other) noexcept
{
    if (this != &other) {
        ShutdownAndClose();
        family_ = other.family_;
        handle_ = other.handle_.exchange(ClosedHandle);
        waitInterrupt_ = other.waitInterrupt_.exchange(ClosedHandle);
    }
    return *this;
}

bool TUdpSocket::IsOpen() const
{
    return handle_.load() != ClosedHandle;
}

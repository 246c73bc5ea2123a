#include "discovery/udp_socket.h"

#include "discovery/socket_error.h"
#include "discovery/socket_address.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseLastError()
{
    throw TSocketError(errno);
}

}  // namespace

TUdpSocket::TUdpSocket(TAddressFamily family) : family_(family)
{
    const int fd = ::socket(NativeFamily(family), SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        RaiseLastError();
    handle_ = fd;
}

TUdpSocket::NativeHandle TUdpSocket::Handle() const
{
    const NativeHandle handle = handle_.load();
    if (handle == ClosedHandle)
        throw TSocketError(EBADF);
    return handle;
}

void TUdpSocket::SetOption(TSocketOption option, int value)
{
    const TNativeOption native = NativeOption(option);
    if (::setsockopt(static_cast<int>(Handle()), native.level, native.name, &value, sizeof value) != 0)
        RaiseLastError();
}

void TUdpSocket::Bind(const std::string& addressText, std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    if (::bind(static_cast<int>(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

void TUdpSocket::BindWildcard(std::uint16_t port)
{
    const TNativeAddress native = WildcardAddress(family_, port);
    if (::bind(static_cast<int>(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

std::size_t TUdpSocket::SendTo(std::span<const std::uint8_t> bytes, const std::string& addressText,
                               std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    const ssize_t sent = ::sendto(static_cast<int>(Handle()), bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&native.storage), native.length);
    if (sent < 0)
        RaiseLastError();
    return static_cast<std::size_t>(sent);
}

void TUdpSocket::Connect(const std::string& addressText, std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    if (::connect(static_cast<int>(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

std::size_t TUdpSocket::Send(std::span<const std::uint8_t> bytes)
{
    const ssize_t sent = ::send(static_cast<int>(Handle()), bytes.data(), bytes.size(), 0);
    if (sent < 0)
        RaiseLastError();
    return static_cast<std::size_t>(sent);
}

TWaitResult TUdpSocket::WaitReadable(std::chrono::milliseconds timeout)
{
    const NativeHandle handle = handle_.load();
    if (handle == ClosedHandle)
        return TWaitResult::Failed;
    pollfd watched{static_cast<int>(handle), POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(timeout.count()));
    if (ready < 0)
        return errno == EINTR ? TWaitResult::TimedOut : TWaitResult::Failed;
    if (ready == 0)
        return TWaitResult::TimedOut;
    // A queued error (POLLERR) or a shut-down socket also counts as readable:
    // the receive that follows reports what happened.
    return (watched.revents & POLLNVAL) != 0 ? TWaitResult::Failed : TWaitResult::Readable;
}

TReceivedDatagram TUdpSocket::Receive(std::span<std::uint8_t> buffer)
{
    sockaddr_storage sender{};
    iovec part{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t received = ::recvmsg(static_cast<int>(Handle()), &message, 0);
    if (received < 0)
        RaiseLastError();
    TReceivedDatagram datagram;
    datagram.length = static_cast<std::size_t>(received);
    datagram.truncated = (message.msg_flags & MSG_TRUNC) != 0;
    datagram.peer = PeerOf(sender);
    return datagram;
}

void TUdpSocket::ShutdownAndClose() noexcept
{
    // Taking the handle first makes a repeated call a no-op.
    const NativeHandle handle = handle_.exchange(ClosedHandle);
    if (handle == ClosedHandle)
        return;
    ::shutdown(static_cast<int>(handle), SHUT_RDWR);
    ::close(static_cast<int>(handle));
}

void TUdpSocket::InterruptWait() noexcept
{
    const NativeHandle handle = handle_.load();
    if (handle != ClosedHandle)
        // Shutting down the receive side too is what wakes a poll() waiting
        // on this socket in another thread; the result changes nothing.
        ::shutdown(static_cast<int>(handle), SHUT_RDWR);
}

bool IPv6DatagramSocketsAvailable()
{
    const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

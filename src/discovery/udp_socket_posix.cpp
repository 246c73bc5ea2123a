#include "discovery/udp_socket.h"

#include "discovery/socket_error.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

int NativeFamily(TAddressFamily family)
{
    return family == TAddressFamily::IPv4 ? AF_INET : AF_INET6;
}

[[noreturn]] void RaiseLastError()
{
    throw TSocketError(errno);
}

// Holds either address family; `length` is what bind/sendto are told.
struct TNativeAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;
};

TNativeAddress Wildcard(TAddressFamily family, std::uint16_t port)
{
    TNativeAddress native;
    if (family == TAddressFamily::IPv4) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&native.storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
        v4->sin_port = htons(port);
        native.length = sizeof(sockaddr_in);
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&native.storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_any;
        v6->sin6_port = htons(port);
        native.length = sizeof(sockaddr_in6);
    }
    return native;
}

TNativeAddress Parse(TAddressFamily family, const std::string& text, std::uint16_t port)
{
    TNativeAddress native = Wildcard(family, port);
    void* address = family == TAddressFamily::IPv4
                        ? static_cast<void*>(&reinterpret_cast<sockaddr_in*>(&native.storage)->sin_addr)
                        : static_cast<void*>(&reinterpret_cast<sockaddr_in6*>(&native.storage)->sin6_addr);
    if (inet_pton(NativeFamily(family), text.c_str(), address) != 1)
        throw TSocketError(EINVAL);
    return native;
}

TPeerAddress PeerOf(const sockaddr_storage& storage)
{
    TPeerAddress peer;
    if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        peer.family = TAddressFamily::IPv6;
        std::memcpy(peer.address.data(), &v6.sin6_addr, 16);
        peer.port = ntohs(v6.sin6_port);
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        std::memcpy(peer.address.data(), &v4.sin_addr, 4);
        peer.port = ntohs(v4.sin_port);
    }
    return peer;
}

struct TNativeOption {
    int level;
    int name;
};

TNativeOption NativeOption(TSocketOption option)
{
    switch (option) {
    case TSocketOption::ReuseAddress: return {SOL_SOCKET, SO_REUSEADDR};
    case TSocketOption::Broadcast: return {SOL_SOCKET, SO_BROADCAST};
    case TSocketOption::IPv6Only: return {IPPROTO_IPV6, IPV6_V6ONLY};
    case TSocketOption::ReceiveBufferSize: return {SOL_SOCKET, SO_RCVBUF};
    }
    return {SOL_SOCKET, SO_REUSEADDR};
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
    const TNativeAddress native = Parse(family_, addressText, port);
    if (::bind(static_cast<int>(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

void TUdpSocket::BindWildcard(std::uint16_t port)
{
    const TNativeAddress native = Wildcard(family_, port);
    if (::bind(static_cast<int>(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

std::size_t TUdpSocket::SendTo(std::span<const std::uint8_t> bytes, const std::string& addressText,
                               std::uint16_t port)
{
    const TNativeAddress native = Parse(family_, addressText, port);
    const ssize_t sent = ::sendto(static_cast<int>(Handle()), bytes.data(), bytes.size(), 0,
                                  reinterpret_cast<const sockaddr*>(&native.storage), native.length);
    if (sent < 0)
        RaiseLastError();
    return static_cast<std::size_t>(sent);
}

void TUdpSocket::Connect(const std::string& addressText, std::uint16_t port)
{
    const TNativeAddress native = Parse(family_, addressText, port);
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
    // Taking the handle first makes a concurrent or repeated call a no-op.
    const NativeHandle handle = handle_.exchange(ClosedHandle);
    if (handle == ClosedHandle)
        return;
    // Shutting down the receive side too is what wakes a poll() waiting on
    // this socket in another thread; close() alone would leave it asleep
    // until its timeout.
    ::shutdown(static_cast<int>(handle), SHUT_RDWR);
    ::close(static_cast<int>(handle));
}

void TUdpSocket::InterruptWait() noexcept
{
    const NativeHandle handle = handle_.load();
    if (handle != ClosedHandle)
        ::shutdown(static_cast<int>(handle), SHUT_RDWR);  // wakes poll(); the result changes nothing
}

bool IPv6DatagramSocketsAvailable()
{
    const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool PortSharingNeedsAddressReuse()
{
    return true;
}

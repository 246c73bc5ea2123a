#include "discovery/udp_socket.h"

#include "discovery/socket_error.h"
#include "socket_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

namespace {

// Winsock must be started once before the first socket call of the process.
class TWinsock {
public:
    TWinsock() { started_ = ::WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    ~TWinsock()
    {
        if (started_)
            ::WSACleanup();
    }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;

private:
    WSADATA data_{};
    bool started_ = false;
};

void EnsureWinsock()
{
    static TWinsock winsock;
}

[[noreturn]] void RaiseLastError()
{
    throw TSocketError(::WSAGetLastError());
}

SOCKET Native(std::intptr_t handle)
{
    return static_cast<SOCKET>(handle);
}

}  // namespace

TUdpSocket::TUdpSocket(TAddressFamily family) : family_(family)
{
    EnsureWinsock();
    const SOCKET socket = ::socket(NativeFamily(family), SOCK_DGRAM, 0);
    if (socket == INVALID_SOCKET)
        RaiseLastError();
    handle_ = static_cast<NativeHandle>(socket);
}

TUdpSocket::NativeHandle TUdpSocket::Handle() const
{
    const NativeHandle handle = handle_.load();
    if (handle == ClosedHandle)
        throw TSocketError(WSAENOTSOCK);
    return handle;
}

void TUdpSocket::SetOption(TSocketOption option, int value)
{
    const TNativeOption native = NativeOption(option);
    if (::setsockopt(Native(Handle()), native.level, native.name, reinterpret_cast<const char*>(&value),
                     sizeof value) != 0)
        RaiseLastError();
}

void TUdpSocket::Bind(const std::string& addressText, std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    if (::bind(Native(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

void TUdpSocket::BindWildcard(std::uint16_t port)
{
    const TNativeAddress native = WildcardAddress(family_, port);
    if (::bind(Native(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

std::size_t TUdpSocket::SendTo(std::span<const std::uint8_t> bytes, const std::string& addressText,
                               std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    const int sent = ::sendto(Native(Handle()), reinterpret_cast<const char*>(bytes.data()),
                              static_cast<int>(bytes.size()), 0,
                              reinterpret_cast<const sockaddr*>(&native.storage), native.length);
    if (sent == SOCKET_ERROR)
        RaiseLastError();
    return static_cast<std::size_t>(sent);
}

void TUdpSocket::Connect(const std::string& addressText, std::uint16_t port)
{
    const TNativeAddress native = ParseAddress(family_, addressText, port);
    if (::connect(Native(Handle()), reinterpret_cast<const sockaddr*>(&native.storage), native.length) != 0)
        RaiseLastError();
}

std::size_t TUdpSocket::Send(std::span<const std::uint8_t> bytes)
{
    const int sent = ::send(Native(Handle()), reinterpret_cast<const char*>(bytes.data()),
                            static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR)
        RaiseLastError();
    return static_cast<std::size_t>(sent);
}

TWaitResult TUdpSocket::WaitReadable(std::chrono::milliseconds timeout)
{
    const NativeHandle handle = handle_.load();
    if (handle == ClosedHandle)
        return TWaitResult::Failed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(handle), &readable);
    timeval limit{static_cast<long>(timeout.count() / 1000), static_cast<long>(timeout.count() % 1000 * 1000)};
    // closesocket() from another thread ends this select() with an error.
    const int ready = ::select(0, &readable, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR)
        return TWaitResult::Failed;
    return ready == 0 ? TWaitResult::TimedOut : TWaitResult::Readable;
}

TReceivedDatagram TUdpSocket::Receive(std::span<std::uint8_t> buffer)
{
    sockaddr_storage sender{};
    int senderLength = sizeof sender;
    TReceivedDatagram datagram;
    const int received = ::recvfrom(Native(Handle()), reinterpret_cast<char*>(buffer.data()),
                                    static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&sender),
                                    &senderLength);
    if (received == SOCKET_ERROR) {
        // Winsock reports a datagram longer than the buffer as WSAEMSGSIZE,
        // with the buffer filled and the rest of the datagram discarded.
        if (::WSAGetLastError() != WSAEMSGSIZE)
            RaiseLastError();
        datagram.length = buffer.size();
        datagram.truncated = true;
    } else {
        datagram.length = static_cast<std::size_t>(received);
    }
    datagram.peer = PeerOf(sender);
    return datagram;
}

void TUdpSocket::ShutdownAndClose() noexcept
{
    const NativeHandle handle = handle_.exchange(ClosedHandle);
    if (handle == ClosedHandle)
        return;
    ::shutdown(Native(handle), SD_SEND);
    ::closesocket(Native(handle));
}

void TUdpSocket::InterruptWait() noexcept
{
    ShutdownAndClose();
}

// Winsock counts IPv6 as available when its protocol catalogue lists at
// least one protocol of the IPv6 address family.
bool IPv6DatagramSocketsAvailable()
{
    EnsureWinsock();
    DWORD size = 0;
    if (::WSAEnumProtocolsW(nullptr, nullptr, &size) != SOCKET_ERROR || ::WSAGetLastError() != WSAENOBUFS)
        return false;
    std::vector<std::uint8_t> catalogue(size);
    auto* protocols = reinterpret_cast<WSAPROTOCOL_INFOW*>(catalogue.data());
    const int count = ::WSAEnumProtocolsW(nullptr, protocols, &size);
    for (int i = 0; i < count; ++i) {
        if (protocols[i].iAddressFamily == AF_INET6)
            return true;
    }
    return false;
}

#include "discovery/udp_socket.h"

#include "discovery/datagram_batch.h"
#include "discovery/socket_error.h"
#include "discovery/socket_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
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

// Winsock's select() wakes only when the socket is closed, which would free
// its handle under the waiting thread. So a wait watches two events: one the
// socket layer sets when a datagram is queued, and the socket's interruption.
// Associating an event makes the socket non-blocking; the association ends,
// and blocking mode returns, when the wait is over.
class TReadableEvent {
public:
    explicit TReadableEvent(SOCKET socket) : socket_(socket), event_(::WSACreateEvent())
    {
        // FD_READ is signalled at once when a datagram is already queued.
        armed_ = event_ != WSA_INVALID_EVENT && ::WSAEventSelect(socket_, event_, FD_READ | FD_CLOSE) == 0;
    }
    ~TReadableEvent()
    {
        if (event_ == WSA_INVALID_EVENT)
            return;
        ::WSAEventSelect(socket_, nullptr, 0);
        u_long nonBlocking = 0;
        ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
        ::WSACloseEvent(event_);
    }
    TReadableEvent(const TReadableEvent&) = delete;
    TReadableEvent& operator=(const TReadableEvent&) = delete;

    bool Armed() const { return armed_; }
    WSAEVENT Event() const { return event_; }

private:
    SOCKET socket_;
    WSAEVENT event_;
    bool armed_ = false;
};

// Non-blocking for as long as it lives, so that a receive answers
// WSAEWOULDBLOCK instead of waiting when nothing is queued; blocking again
// afterwards, as every other call on the socket expects.
class TNonBlocking {
public:
    explicit TNonBlocking(SOCKET socket) : socket_(socket)
    {
        u_long nonBlocking = 1;
        set_ = ::ioctlsocket(socket_, FIONBIO, &nonBlocking) == 0;
    }
    ~TNonBlocking()
    {
        u_long nonBlocking = 0;
        if (set_)
            ::ioctlsocket(socket_, FIONBIO, &nonBlocking);
    }
    TNonBlocking(const TNonBlocking&) = delete;
    TNonBlocking& operator=(const TNonBlocking&) = delete;

    bool Set() const { return set_; }

private:
    SOCKET socket_;
    bool set_ = false;
};

// One datagram into `buffer`: 0 with `datagram` filled, or Winsock's error.
int ReceiveFrom(SOCKET socket, std::span<std::uint8_t> buffer, TReceivedDatagram& datagram)
{
    sockaddr_storage sender{};
    int senderLength = sizeof sender;
    const int received = ::recvfrom(socket, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                                    0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (received == SOCKET_ERROR) {
        // Winsock reports a datagram longer than the buffer as WSAEMSGSIZE,
        // with the buffer filled and the rest of the datagram discarded.
        const int error = ::WSAGetLastError();
        if (error != WSAEMSGSIZE)
            return error;
        datagram.length = buffer.size();
        datagram.truncated = true;
    } else {
        datagram.length = static_cast<std::size_t>(received);
        datagram.truncated = false;
    }
    datagram.peer = PeerOf(sender);
    return 0;
}

}  // namespace

TUdpSocket::TUdpSocket(TAddressFamily family) : family_(family)
{
    EnsureWinsock();
    const SOCKET socket = ::socket(NativeFamily(family), SOCK_DGRAM, 0);
    if (socket == INVALID_SOCKET)
        RaiseLastError();
    handle_ = static_cast<NativeHandle>(socket);
    const WSAEVENT interrupt = ::WSACreateEvent();  // manual reset: once set, it stays set
    if (interrupt == WSA_INVALID_EVENT) {
        const int error = ::WSAGetLastError();
        ShutdownAndClose();
        throw TSocketError(error);
    }
    waitInterrupt_ = reinterpret_cast<NativeHandle>(interrupt);
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
    const NativeHandle interrupt = waitInterrupt_.load();
    if (handle == ClosedHandle || interrupt == ClosedHandle)
        return TWaitResult::Failed;
    const TReadableEvent readable(Native(handle));
    if (!readable.Armed())
        return TWaitResult::Failed;
    // The interruption first: when both are set, stopping wins.
    const std::array<WSAEVENT, 2> events{reinterpret_cast<WSAEVENT>(interrupt), readable.Event()};
    const DWORD woken = ::WSAWaitForMultipleEvents(static_cast<DWORD>(events.size()), events.data(), FALSE,
                                                   static_cast<DWORD>(timeout.count()), FALSE);
    if (woken == WSA_WAIT_TIMEOUT)
        return TWaitResult::TimedOut;
    if (woken == WSA_WAIT_EVENT_0 || woken == WSA_WAIT_EVENT_0 + 1)
        return TWaitResult::Readable;
    return TWaitResult::Failed;
}

TReceivedDatagram TUdpSocket::Receive(std::span<std::uint8_t> buffer)
{
    TReceivedDatagram datagram;
    if (const int error = ReceiveFrom(Native(Handle()), buffer, datagram))
        throw TSocketError(error);
    return datagram;
}

// Winsock has no batch receive: the datagrams are taken one call each, with
// the socket non-blocking, until none is left or the batch is full. A wait
// that reported the socket readable has left it blocking again.
std::size_t TUdpSocket::ReceiveWaiting(TDatagramBatch& batch)
{
    const SOCKET socket = Native(Handle());
    const TNonBlocking nonBlocking(socket);
    if (!nonBlocking.Set())
        RaiseLastError();
    std::size_t taken = 0;
    while (taken < batch.Capacity()) {
        const int error = ReceiveFrom(socket, batch.Slot(taken), batch.Received(taken));
        if (error == 0) {
            ++taken;
            continue;
        }
        // What was taken goes to the caller; a lasting failure comes again
        // with the next call's first receive, which raises it.
        if (error == WSAEWOULDBLOCK || taken > 0)
            break;
        throw TSocketError(error);
    }
    return taken;
}

void TUdpSocket::ShutdownAndClose() noexcept
{
    const NativeHandle interrupt = waitInterrupt_.exchange(ClosedHandle);
    if (interrupt != ClosedHandle)
        ::WSACloseEvent(reinterpret_cast<WSAEVENT>(interrupt));
    const NativeHandle handle = handle_.exchange(ClosedHandle);
    if (handle == ClosedHandle)
        return;
    ::shutdown(Native(handle), SD_SEND);
    ::closesocket(Native(handle));
}

void TUdpSocket::InterruptWait() noexcept
{
    // Shutting the receive side down makes a Receive after the wake-up fail
    // instead of blocking; the socket keeps its handle and its port.
    const NativeHandle handle = handle_.load();
    if (handle != ClosedHandle)
        ::shutdown(Native(handle), SD_RECEIVE);
    const NativeHandle interrupt = waitInterrupt_.load();
    if (interrupt != ClosedHandle)
        ::WSASetEvent(reinterpret_cast<WSAEVENT>(interrupt));
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

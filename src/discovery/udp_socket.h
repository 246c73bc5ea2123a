#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

enum class TAddressFamily { IPv4, IPv6 };

// The socket options this system sets; each takes an int value. ReusePort
// exists on Linux only (linux/port_sharing.cpp).
enum class TSocketOption { ReuseAddress, ReusePort, Broadcast, IPv6Only, ReceiveBufferSize };

enum class TWaitResult { Readable, TimedOut, Failed };

// Where a datagram came from. An IPv4 address fills the first 4 bytes, first
// octet first; an IPv6 address all 16, in network order, with its zone
// (the interface's index) when it has one, as link-local addresses do.
struct TPeerAddress {
    TAddressFamily family = TAddressFamily::IPv4;
    std::array<std::uint8_t, 16> address{};
    std::uint16_t port = 0;
    std::uint32_t zone = 0;
};

// An address in its numeric text, without port or zone, and the address of
// the family that a numeric text names (nothing when it names none).
std::string NumericAddressText(const TPeerAddress& address);
std::optional<TPeerAddress> ParseNumericAddress(TAddressFamily family, const std::string& text);

class TDatagramBatch;

struct TReceivedDatagram {
    std::size_t length = 0;  // bytes placed in the caller's buffer
    bool truncated = false;  // the datagram was longer than the buffer
    TPeerAddress peer;
};

// One datagram socket (protocol 0), blocking, closed when the object goes.
// Every failed call raises TSocketError. Address texts are numeric: dotted
// decimal for IPv4, the usual colon form for IPv6.
class TUdpSocket {
public:
    explicit TUdpSocket(TAddressFamily family);
    ~TUdpSocket();
    TUdpSocket(TUdpSocket&& other) noexcept;
    TUdpSocket& operator=(TUdpSocket&& other) noexcept;
    TUdpSocket(const TUdpSocket&) = delete;
    TUdpSocket& operator=(const TUdpSocket&) = delete;

    void SetOption(TSocketOption option, int value);
    void Bind(const std::string& addressText, std::uint16_t port);
    void BindWildcard(std::uint16_t port);
    std::size_t SendTo(std::span<const std::uint8_t> bytes, const std::string& addressText, std::uint16_t port);
    // Fixes the one peer this socket sends to and takes datagrams from.
    void Connect(const std::string& addressText, std::uint16_t port);
    std::size_t Send(std::span<const std::uint8_t> bytes);

    // Failed when the socket is closed.
    TWaitResult WaitReadable(std::chrono::milliseconds timeout);
    TReceivedDatagram Receive(std::span<std::uint8_t> buffer);
    // Takes the datagrams that are already waiting, oldest first, up to the
    // batch's capacity, without waiting for more; returns how many (0 when
    // none is waiting). Raises when the first receive fails.
    std::size_t ReceiveWaiting(TDatagramBatch& batch);

    // Shuts the socket down and closes it, ignoring both results. Only once
    // no other thread uses the socket any more: its handle could otherwise be
    // given to a new socket under that thread.
    void ShutdownAndClose() noexcept;
    // Ends a WaitReadable in another thread at once (it then reports
    // Readable or Failed) and leaves the socket open and bound, so that its
    // handle cannot be reused under that thread. Close it once that thread
    // has stopped using it.
    void InterruptWait() noexcept;
    bool IsOpen() const;

private:
    using NativeHandle = std::intptr_t;
    static constexpr NativeHandle ClosedHandle = -1;

    NativeHandle Handle() const;  // raises when closed

    std::atomic<NativeHandle> handle_{ClosedHandle};
    // Winsock: an event in WaitReadable's wait set that InterruptWait sets,
    // as Winsock has no way to wake a wait on an open socket. Unused on
    // POSIX, where shutting the socket down wakes poll().
    std::atomic<NativeHandle> waitInterrupt_{ClosedHandle};
    TAddressFamily family_;
};

// Whether the socket layer can make IPv6 datagram sockets.
bool IPv6DatagramSocketsAvailable();


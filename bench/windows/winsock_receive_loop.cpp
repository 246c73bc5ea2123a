// The receive loops Winsock has for one UDP socket, as references for the
// Windows listener's figures (bench/windows/junk_flood_under_wine.sh): port
// 7080 bound on the IPv4 wildcard address with the listener's receive
// buffer, every datagram only counted, no hand-over, no handler.
//   winsock_receive_loop blocking SECONDS  recvfrom, blocking: one call each
//   winsock_receive_loop drain SECONDS     a readiness wait, then recvfrom on
//                                          the non-blocking socket until
//                                          nothing is left
// Prints "received N" when SECONDS have passed.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr u_short Port = 7080;
constexpr int ReceiveBufferSize = 8 * 1024 * 1024;  // the listener's
constexpr DWORD Tick = 100;  // ms: how often the clock is looked at while nothing comes

std::array<char, 8192> buffer;

bool Receive(SOCKET socket)
{
    return ::recvfrom(socket, buffer.data(), static_cast<int>(buffer.size()), 0, nullptr, nullptr) != SOCKET_ERROR ||
           ::WSAGetLastError() == WSAEMSGSIZE;
}

unsigned long long Blocking(SOCKET socket, Clock::time_point end)
{
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&Tick), sizeof Tick);
    unsigned long long received = 0;
    while (Clock::now() < end) {
        if (Receive(socket))
            ++received;
    }
    return received;
}

unsigned long long Drain(SOCKET socket, Clock::time_point end)
{
    const WSAEVENT readable = ::WSACreateEvent();
    ::WSAEventSelect(socket, readable, FD_READ);  // also makes the socket non-blocking
    unsigned long long received = 0;
    while (Clock::now() < end) {
        ::WSAWaitForMultipleEvents(1, &readable, FALSE, Tick, FALSE);
        ::WSAResetEvent(readable);
        // The clock is looked at here too: a flood never leaves the socket
        // empty, and the loop would run until the sender stops.
        while (Clock::now() < end && Receive(socket))
            ++received;
    }
    ::WSACloseEvent(readable);
    return received;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string loop = argc == 3 ? argv[1] : "";
    if (loop != "blocking" && loop != "drain") {
        std::fprintf(stderr, "usage: winsock_receive_loop blocking|drain SECONDS\n");
        return 2;
    }
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 1;
    const SOCKET socket = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in wildcard{};
    wildcard.sin_family = AF_INET;
    wildcard.sin_port = ::htons(Port);
    if (socket == INVALID_SOCKET ||
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&ReceiveBufferSize),
                     sizeof ReceiveBufferSize) != 0 ||
        ::bind(socket, reinterpret_cast<const sockaddr*>(&wildcard), sizeof wildcard) != 0) {
        std::fprintf(stderr, "winsock_receive_loop: port %u: error %d\n", Port, ::WSAGetLastError());
        return 1;
    }
    const auto end = Clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    const unsigned long long received = loop == "blocking" ? Blocking(socket, end) : Drain(socket, end);
    std::printf("received %llu\n", received);
    ::closesocket(socket);
    ::WSACleanup();
    return 0;
}

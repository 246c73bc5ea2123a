#pragma once

#include "discovery/udp_server.h"
#include "ui_thread_stand_in.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One datagram as the listener's handler was given it.
struct TReceived {
    std::vector<std::uint8_t> data;
    std::string peerIP;
    std::uint16_t peerPort = 0;
    TAddressFamily version = TAddressFamily::IPv4;
    std::string threadName;
};

// Datagram `number` of a numbered burst: the number's four bytes, most
// significant first.
std::vector<std::uint8_t> Numbered(std::uint32_t number);

// A listener on the wildcard addresses that records what its handler is
// given, with the test's main thread as its user-interface thread.
// Anything else a replaced handler uses must be declared before the fixture:
// the listener's deactivation may still call the handler.
class TListenerFixture {
public:
    // patience: how long a wait for hand-overs lasts; only a hang takes that long.
    explicit TListenerFixture(std::chrono::milliseconds patience, TListenerSystem& system = DefaultListenerSystem());

    // Runs hand-overs until `count` datagrams arrived; false when time ran out.
    bool RunUntilReceived(std::size_t count);
    std::size_t CountFrom(TAddressFamily family) const;

    TUiThreadStandIn ui;
    // Before the listener: its deactivation still hands over what its
    // threads had received, and the handler appends it here.
    std::vector<TReceived> received;     // written and read on the main thread only
    std::optional<TUdpServer> listener;  // reset() deactivates it
};

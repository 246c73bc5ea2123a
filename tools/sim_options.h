#pragma once

#include "discovery/datagram.h"
#include "reply_builder.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the device simulator sends.
enum class TSimDatagramKind { Reply, Request, Malformed, Empty, Oversized };

// The simulator's command line, parsed. See SimUsage() for every option.
struct TSimOptions {
    std::vector<TSimulatedDevice> devices{TSimulatedDevice{}};
    TSimDatagramKind kind = TSimDatagramKind::Reply;
    std::size_t oversizedLength = 8193;

    std::string listenAddress = "0.0.0.0";
    std::uint16_t port = DiscoveryPort;
    bool broadcastAnswers = false;
    std::size_t repliesPerRequest = 1;
    std::chrono::milliseconds answerDelay{0};  // a real device takes a moment too

    std::optional<std::string> sendTo;   // burst mode: send at once, no listening
    std::uint16_t sendToPort = DiscoveryPort;
    std::optional<std::string> sendFrom;  // burst source address (port: `port`)
    std::size_t count = 1;               // per device; 0 = until the time limit
    std::chrono::milliseconds interval{0};  // pause between rounds of a burst

    std::size_t requestLimit = 0;        // 0 = no limit
    std::chrono::milliseconds timeLimit{60'000};  // 0 = none
    bool help = false;
};

// Raises std::invalid_argument with a message naming the bad option.
TSimOptions ParseSimOptions(const std::vector<std::string>& arguments);
const char* SimUsage();

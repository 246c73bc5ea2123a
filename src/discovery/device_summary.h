#pragma once

#include "discovery/datagram.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct TDeviceSummary {                 // each text UTF-8; absent = no value
    std::optional<std::string> nr_ip, info1, info2, info3, info4, info5;
};

// What a reply says of its device as data rather than as display texts.
struct TReplyFacts {
    std::array<std::uint8_t, 4> ipAddress{};  // the address the device reports, nr_ip's text
    bool httpEnabled = false;
    std::uint16_t httpPort = 0;

    friend bool operator==(const TReplyFacts&, const TReplyFacts&) = default;
};

// One accepted reply decoded in one pass: its display texts and its facts.
struct TDecodedReply {
    TDeviceSummary summary;
    TReplyFacts facts;
    // The bytes the texts were made from (once they are there): decoding
    // the next reply into the same record writes only the lines whose
    // fields differ.
    std::array<std::uint8_t, CompleteReplySize> decodedFrom{};
};

// A reply shorter than the complete 98-byte layout gives nothing: no entry
// is ever made from bytes that were not received.
std::optional<TDecodedReply> DecodeDeviceReply(std::span<const std::uint8_t> reply);
// The same into `decoded`, reusing its strings' storage; false (and
// `decoded` unspecified) for a reply too short.
bool DecodeDeviceReply(std::span<const std::uint8_t> reply, TDecodedReply& decoded);
// The display texts alone.
std::optional<TDeviceSummary> DecodeDeviceSummary(std::span<const std::uint8_t> reply);

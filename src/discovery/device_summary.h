#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

struct TDeviceSummary {                 // each text UTF-8; absent = no value
    std::optional<std::string> nr_ip, info1, info2, info3, info4, info5;
};

// Display texts of an accepted reply. A reply shorter than the complete
// 98-byte layout gives no summary: no entry is ever made from bytes that
// were not received.
std::optional<TDeviceSummary> DecodeDeviceSummary(std::span<const std::uint8_t> reply);

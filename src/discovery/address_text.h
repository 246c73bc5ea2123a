#pragma once

#include <cstdint>
#include <span>
#include <string>

// Octets in decimal without leading zeros, joined by ".": the one text form
// of an IPv4 address, shared by device replies and sender addresses.
std::string DottedDecimal(std::span<const std::uint8_t> octets);
void AppendDottedDecimal(std::string& text, std::span<const std::uint8_t> octets);

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Everything a device reports about itself in a discovery reply.
struct TSimulatedDevice {
    std::string versionA = "1.23.4";   // 6 bytes, padded with 0x00
    std::string versionB = "HW02";     // 4 bytes
    std::string versionC = "R01";      // 3 bytes
    std::string serialNumber = "00012345";  // 8 bytes
    std::string versionD = "07";       // 2 bytes
    std::uint8_t stateFlags = 0x01;
    std::array<std::uint8_t, 6> mac{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::array<std::uint8_t, 4> extraAddress1{};
    std::array<std::uint8_t, 4> extraAddress2{};
    std::string deviceName = "Hala A";  // up to 16 bytes, the rest 0x00
    std::uint16_t httpPort = 80;
    std::uint16_t tcpPort = 8080;
    std::array<std::uint8_t, 4> ipAddress{192, 168, 0, 50};
    std::array<std::uint8_t, 4> netMask{255, 255, 255, 0};
};

// A complete 98-byte reply, PayloadLength 66; text fields are raw bytes,
// cut or padded with 0x00 to their width.
std::vector<std::uint8_t> BuildDiscoveryReply(const TSimulatedDevice& device);

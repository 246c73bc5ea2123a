#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// What the window knows of a listed device as data rather than as the Polish
// lines its entry shows: the IP address the device reports, whether its web
// server is on and at which port, and the address its reply came from.
struct TDeviceFacts {
    QString reportedIp;
    bool httpEnabled = false;
    std::uint16_t httpPort = 0;
    QString sender;  // as the listener gives it: IPv4 dotted decimal, or IPv6 groups

    friend bool operator==(const TDeviceFacts&, const TDeviceFacts&) = default;
};

// The facts of an accepted reply received from `sender`; none for a reply
// too short to hold every field.
std::optional<TDeviceFacts> DeviceFactsOf(std::span<const std::uint8_t> reply, const std::string& sender);

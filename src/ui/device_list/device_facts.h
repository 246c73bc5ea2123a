#pragma once

#include <QString>

#include <cstdint>

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

#pragma once

#include <QString>

#include <cstdint>

// Whether a listed device's entry opens a web page, and if not, why not.
// Only the address the entry shows in bold is ever opened, and only one
// that can be another host's: a reply's bytes and its sender are the word
// of whoever sent it, and a browser would take an unspecified, loopback or
// own address to this very machine.
enum class TDevicePageState : std::uint8_t {
    Opens,
    HttpOff,      // the device reports its web server off
    PortZero,     // or at port 0
    Unspecified,  // 0.0.0.0/8
    Loopback,     // 127.0.0.0/8
    Multicast,    // 224.0.0.0/4
    Broadcast,    // 255.255.255.255, the limited broadcast
    Reserved,     // 240.0.0.0/4 below it
    ThisMachine,  // one of this machine's own addresses
};

// What the window knows of a listed device as data rather than as the Polish
// lines its entry shows: the IP address the device reports, whether its web
// server is on and at which port, the address its reply came from, and what
// a double-click on its entry does.
struct TDeviceFacts {
    QString reportedIp;
    bool httpEnabled = false;
    std::uint16_t httpPort = 0;
    QString sender;  // as the listener gives it: IPv4 dotted decimal, or IPv6 groups
    TDevicePageState page = TDevicePageState::Opens;

    friend bool operator==(const TDeviceFacts&, const TDeviceFacts&) = default;
};

#pragma once

#include <cstdint>
#include <span>

// The kernel's end of an rtnetlink conversation, as the address reader sees
// it: a dump is asked for, then its replies are read batch by batch.
class TNetlinkTransport {
public:
    virtual ~TNetlinkTransport() = default;

    // Asks for a dump of every object of `type` (RTM_GETADDR for IPv4
    // addresses, RTM_GETLINK for links).
    virtual void RequestDump(std::uint16_t type) = 0;

    // The next read of replies; valid until the next call.
    virtual std::span<const std::uint8_t> Receive() = 0;
};

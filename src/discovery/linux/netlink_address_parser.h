#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// What the kernel's rtnetlink dumps of IPv4 addresses (RTM_GETADDR) and of
// links (RTM_GETLINK) say, gathered batch by batch as they are read.
// Parsing is kept apart from the socket so that any bytes can be fed to it.
struct TNetlinkDump {
    struct TAddress {
        int interfaceIndex = 0;
        std::uint32_t flags = 0;         // IFA_F_*, all 32 bits when the kernel sends them
        std::uint32_t address = 0;       // as on the wire, first octet first in memory
    };
    std::vector<TAddress> addresses;     // in the kernel's order
    std::vector<int> interfaces;         // every index the link dump named
    std::vector<int> loopbackInterfaces; // those with IFF_LOOPBACK
    // The kernel marks a dump NLM_F_DUMP_INTR when its tables changed while
    // it was being dumped: it may miss or repeat entries, and must be redone.
    bool interrupted = false;
};

// Takes one read of dump replies into `dump`. Returns true when the dump is
// complete (NLMSG_DONE, or NLMSG_ERROR with 0, which acknowledges without
// data), false when more reads follow. A reply reporting an error raises
// TOSError with the kernel's error; bytes that do not form whole, readable
// messages raise TOSError(EBADMSG): a list built from them could be wrong.
bool ParseNetlinkBatch(std::span<const std::uint8_t> batch, TNetlinkDump& dump);

// The local address list from both dumps: every IPv4 address in the
// kernel's order, except those in a state other than preferred (tentative,
// failed duplicate detection, deprecated), those of loopback interfaces and
// those of interfaces that the later link dump no longer named (gone, and
// their addresses with them).
std::vector<std::string> QualifyingAddresses(const TNetlinkDump& dump);

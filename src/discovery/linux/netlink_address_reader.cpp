#include "discovery/linux/netlink_address_reader.h"

#include "discovery/linux/netlink_address_parser.h"
#include "discovery/os_error.h"

#include <linux/rtnetlink.h>

#include <cerrno>

namespace {

void Dump(TNetlinkTransport& kernel, std::uint16_t type, TNetlinkDump& dump)
{
    kernel.RequestDump(type);
    while (!ParseNetlinkBatch(kernel.Receive(), dump)) {
    }
}

}  // namespace

std::vector<std::string> ReadLocalAddresses(TNetlinkTransport& kernel)
{
    for (int attempt = 0; attempt < MaxDumpAttempts; ++attempt) {
        TNetlinkDump dump;
        // Addresses before links: an interface that is gone by the link dump
        // has taken its addresses with it, and they are left out.
        Dump(kernel, RTM_GETADDR, dump);
        if (!dump.interrupted)
            Dump(kernel, RTM_GETLINK, dump);
        if (!dump.interrupted)
            return QualifyingAddresses(dump);
    }
    throw TOSError(EAGAIN);
}

// Feeds arbitrary datagrams through the acceptance test and the decoder, as
// the reply handler does with whatever arrives on the port.
#include "discovery/datagram.h"
#include "discovery/device_summary.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    if (!IsDiscoveryReply(datagram))
        return 0;
    const auto summary = DecodeDeviceSummary(datagram);
    // A decoded summary always carries all six texts.
    if (summary && !(summary->nr_ip && summary->info1 && summary->info2 && summary->info3 && summary->info4 && summary->info5))
        std::abort();
    if (!summary && size >= CompleteReplySize)
        std::abort();
    // Decoding into the record of the replies before gives the same texts
    // as decoding this reply alone.
    static TDecodedReply reused;
    if (summary && DecodeDeviceReply(datagram, reused)) {
        const TDeviceSummary& again = reused.summary;
        if (again.nr_ip != summary->nr_ip || again.info1 != summary->info1 || again.info2 != summary->info2
            || again.info3 != summary->info3 || again.info4 != summary->info4 || again.info5 != summary->info5)
            std::abort();
    }
    return 0;
}

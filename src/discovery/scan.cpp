#include "discovery/scan.h"

#include "discovery/datagram.h"

#include <exception>

namespace {

void TryOneAddress(TIdUDPClient& sender, const std::vector<std::uint8_t>& request)
{
    try {
        sender.Activate();
        sender.Broadcast(request, DiscoveryPort);
    } catch (const std::exception&) {
        // This address could not send (gone, port held, refused): the next
        // address is tried as if nothing had happened.
    }
    sender.Deactivate();
}

}  // namespace

void RunDiscoveryScan(TIdUDPClient& sender, const TAddressSource& localAddresses)
{
    const std::vector<std::uint8_t> request = BuildDiscoveryRequest();
    sender.Deactivate();
    sender.SetBoundPort(DiscoveryPort);
    sender.SetBroadcastEnabled(true);
    const std::vector<std::string> addresses = localAddresses();
    for (const std::string& address : addresses) {
        sender.SetBoundIP(address);
        TryOneAddress(sender, request);
    }
}

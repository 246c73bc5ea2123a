#pragma once

#include "discovery/local_addresses.h"
#include "discovery/udp_client.h"

#include <functional>
#include <string>
#include <vector>

using TAddressSource = std::function<std::vector<std::string>()>;

// Sends the discovery request once from every local IPv4 address, in list
// order, from (address, DiscoveryPort) to 255.255.255.255:DiscoveryPort.
// The failure of one address is discarded and the next one tried; only a
// failure to read the address list leaves it, before anything is sent.
// Leaves `sender` inactive, bound to DiscoveryPort, broadcast enabled.
void RunDiscoveryScan(TIdUDPClient& sender, const TAddressSource& localAddresses = LocalAddresses);

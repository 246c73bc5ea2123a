#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

// The machine's IPv4 addresses as dotted-decimal texts, in the order the
// system reports them, asked anew at every call. Left out: loopback
// interfaces, receive-only adapters, addresses not in the preferred state.
// Raises TOSError (a std::system_error) when the system cannot be asked.
std::vector<std::string> LocalAddresses();   // throws std::system_error on a failed query

// Whether `address` is one of `addresses` (such a list), text for text: a
// sender's PeerIP or a reply's reported address is this machine's only when
// it is written exactly as the list writes one of its own.
inline bool IsListedAddress(const std::vector<std::string>& addresses, std::string_view address)
{
    return std::ranges::find(addresses, address) != addresses.end();
}

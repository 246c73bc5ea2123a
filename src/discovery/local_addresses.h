#pragma once

#include <string>
#include <vector>

// The machine's IPv4 addresses as dotted-decimal texts, in the order the
// system reports them, asked anew at every call. Left out: loopback
// interfaces, receive-only adapters, addresses not in the preferred state.
// Raises TOSError (a std::system_error) when the system cannot be asked.
std::vector<std::string> LocalAddresses();   // throws std::system_error on a failed query

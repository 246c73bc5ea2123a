#pragma once

#include "discovery/linux/netlink_transport.h"

#include <string>
#include <vector>

// How often both dumps are taken before a list that keeps changing under
// them is given up on.
constexpr int MaxDumpAttempts = 5;

// The local address list as the kernel reports it through `kernel`: a dump
// of the IPv4 addresses, then one of the links, both taken again when the
// kernel says either was interrupted by a change. Raises TOSError with the
// kernel's error, EBADMSG for replies it cannot read, and EAGAIN when every
// attempt was interrupted.
std::vector<std::string> ReadLocalAddresses(TNetlinkTransport& kernel);

#include "discovery/udp_binding.h"

#include "discovery/address_text.h"

#include <cstdio>
#include <string>

namespace {

std::string IPv6Text(const TPeerAddress& peer)
{
    std::string text;
    for (std::size_t group = 0; group < 8; ++group) {
        const unsigned value = peer.address[2 * group] * 256u + peer.address[2 * group + 1];
        char digits[8];
        std::snprintf(digits, sizeof digits, group > 0 ? ":%X" : "%X", value);
        text += digits;
    }
    // The same link-local address can answer on two interfaces: without
    // its zone it would name neither.
    if (peer.zone != 0)
        text += '%' + std::to_string(peer.zone);
    return text;
}

}  // namespace

void TUdpBinding::StorePeer(const TPeerAddress& peer)
{
    PeerIP = peer.family == TAddressFamily::IPv4 ? DottedDecimal(std::span(peer.address).first<4>()) : IPv6Text(peer);
    PeerPort = peer.port;
    IPVersion = peer.family;
}

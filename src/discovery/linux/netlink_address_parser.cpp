#include "discovery/linux/netlink_address_parser.h"

#include "discovery/address_text.h"
#include "discovery/os_error.h"

#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

// Every field is copied out with memcpy: a read may come from anywhere (a
// fuzzer's bytes too) and need not be aligned for the kernel's structures.

namespace {

constexpr std::uint32_t NotPreferred = IFA_F_TENTATIVE | IFA_F_DADFAILED | IFA_F_DEPRECATED;
// The kernel reports errors as -errno, never beyond this (MAX_ERRNO).
constexpr int LargestErrno = 4095;

using TBytes = std::span<const std::uint8_t>;

[[noreturn]] void RaiseMalformed()
{
    throw TOSError(EBADMSG);
}

template <class Header>
Header HeaderOf(TBytes bytes)
{
    if (bytes.size() < sizeof(Header))
        RaiseMalformed();
    Header header;
    std::memcpy(&header, bytes.data(), sizeof header);
    return header;
}

std::uint32_t Word(TBytes payload)
{
    if (payload.size() != sizeof(std::uint32_t))
        RaiseMalformed();
    std::uint32_t word;
    std::memcpy(&word, payload.data(), sizeof word);
    return word;
}

// Calls take(type, payload) for each attribute in `attributes`; the last
// one may lack its padding, none may reach past the end.
template <class Take>
void ForEachAttribute(TBytes attributes, Take take)
{
    std::size_t offset = 0;
    while (offset < attributes.size()) {
        const auto attribute = HeaderOf<rtattr>(attributes.subspan(offset));
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > attributes.size() - offset)
            RaiseMalformed();
        take(attribute.rta_type, attributes.subspan(offset + sizeof(rtattr), attribute.rta_len - sizeof(rtattr)));
        offset += RTA_ALIGN(attribute.rta_len);
    }
}

void TakeAddress(TBytes body, TNetlinkDump& dump)
{
    const auto header = HeaderOf<ifaddrmsg>(body);
    if (header.ifa_family != AF_INET)
        return;
    TNetlinkDump::TAddress entry;
    entry.interfaceIndex = static_cast<int>(header.ifa_index);
    entry.flags = header.ifa_flags;
    std::optional<std::uint32_t> local;
    std::optional<std::uint32_t> address;
    ForEachAttribute(body.subspan(NLMSG_ALIGN(sizeof(ifaddrmsg))), [&](unsigned type, TBytes payload) {
        if (type == IFA_LOCAL)
            local = Word(payload);
        else if (type == IFA_ADDRESS)
            address = Word(payload);
        else if (type == IFA_FLAGS)
            entry.flags = Word(payload);  // the full 32 bits; ifa_flags holds the low 8
    });
    // On a point-to-point link IFA_ADDRESS is the peer's address and
    // IFA_LOCAL our own; elsewhere both are the same.
    if (!local)
        local = address;
    if (!local)
        return;
    entry.address = *local;
    dump.addresses.push_back(entry);
}

void TakeLink(TBytes body, TNetlinkDump& dump)
{
    const auto header = HeaderOf<ifinfomsg>(body);
    dump.interfaces.push_back(header.ifi_index);
    if ((header.ifi_flags & IFF_LOOPBACK) != 0)
        dump.loopbackInterfaces.push_back(header.ifi_index);
}

// The end of a reply: 0 acknowledges, anything else is the request's failure.
void TakeError(TBytes body)
{
    const int error = HeaderOf<int>(body);
    if (error > 0 || error < -LargestErrno)
        RaiseMalformed();
    if (error != 0)
        throw TOSError(-error);
}

bool Contains(const std::vector<int>& indexes, int index)
{
    return std::ranges::find(indexes, index) != indexes.end();
}

}  // namespace

bool ParseNetlinkBatch(std::span<const std::uint8_t> batch, TNetlinkDump& dump)
{
    std::size_t offset = 0;
    while (offset < batch.size()) {
        const auto header = HeaderOf<nlmsghdr>(batch.subspan(offset));
        if (header.nlmsg_len < NLMSG_HDRLEN || header.nlmsg_len > batch.size() - offset)
            RaiseMalformed();
        const TBytes body = batch.subspan(offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
        if ((header.nlmsg_flags & NLM_F_DUMP_INTR) != 0)
            dump.interrupted = true;
        switch (header.nlmsg_type) {
        case NLMSG_DONE:
            return true;
        case NLMSG_ERROR:
            TakeError(body);
            return true;
        case RTM_NEWADDR:
            TakeAddress(body, dump);
            break;
        case RTM_NEWLINK:
            TakeLink(body, dump);
            break;
        default:  // nothing else carries part of the list
            break;
        }
        offset += NLMSG_ALIGN(header.nlmsg_len);
    }
    return false;
}

std::vector<std::string> QualifyingAddresses(const TNetlinkDump& dump)
{
    std::vector<std::string> addresses;
    for (const TNetlinkDump::TAddress& entry : dump.addresses) {
        if ((entry.flags & NotPreferred) != 0 || !Contains(dump.interfaces, entry.interfaceIndex) ||
            Contains(dump.loopbackInterfaces, entry.interfaceIndex))
            continue;
        std::uint8_t octets[4];
        std::memcpy(octets, &entry.address, sizeof octets);
        addresses.push_back(DottedDecimal(octets));
    }
    return addresses;
}

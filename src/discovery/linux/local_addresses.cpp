#include "discovery/local_addresses.h"

#include "discovery/linux/netlink_address_reader.h"
#include "discovery/os_error.h"
#include "discovery/linux/route_socket.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

// The list comes from rtnetlink dumps of the kernel's IPv4 addresses and of
// its links, in the kernel's order (the order of `ip -4 addr`). This costs a
// fraction of getifaddrs(), which dumps every link with its statistics and
// every address of every family. Linux has no receive-only interfaces, so
// nothing is left out for that reason.

namespace {

// A dump request: the header, the family's message, and for links the
// attribute that spares the kernel the statistics (older kernels ignore it).
struct TDumpRequest {
    nlmsghdr header;
    ifinfomsg body;  // the larger of ifinfomsg and ifaddrmsg; both start with the family
    rtattr maskAttribute;
    std::uint32_t mask;
};

class TKernelTransport : public TNetlinkTransport {
public:
    void RequestDump(std::uint16_t type) override
    {
        TDumpRequest request{};
        request.header.nlmsg_type = type;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = ++sequence_;
        if (type == RTM_GETADDR) {
            request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
            request.body.ifi_family = AF_INET;  // ifa_family, at the same place
        } else {
            request.header.nlmsg_len = sizeof request;
            request.body.ifi_family = AF_UNSPEC;
            request.maskAttribute.rta_type = IFLA_EXT_MASK;
            request.maskAttribute.rta_len = RTA_LENGTH(sizeof request.mask);
            request.mask = RTEXT_FILTER_SKIP_STATS;
        }
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(socket_.Fd(), &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr*>(&kernel),
                     sizeof kernel) < 0)
            throw TOSError(errno);
    }

    // The kernel sizes each batch after the largest read it has seen, and
    // never above 8 KiB before the first one. Reading 8 KiB at a time keeps
    // its buffers small (larger reads make every dump slower) while no batch
    // can be cut; MSG_TRUNC would tell if one were.
    std::span<const std::uint8_t> Receive() override
    {
        for (;;) {
            const ssize_t received = ::recv(socket_.Fd(), batch_.data(), batch_.size(), MSG_TRUNC);
            if (received < 0 && errno == EINTR)
                continue;
            if (received < 0)
                throw TOSError(errno);
            if (static_cast<std::size_t>(received) > batch_.size())
                throw TOSError(EMSGSIZE);
            return {batch_.data(), static_cast<std::size_t>(received)};
        }
    }

private:
    TRouteSocket socket_;
    std::uint32_t sequence_ = 0;
    std::array<std::uint8_t, 8192> batch_;
};

}  // namespace

std::vector<std::string> LocalAddresses()
{
    TKernelTransport kernel;
    return ReadLocalAddresses(kernel);
}

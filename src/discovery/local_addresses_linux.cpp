#include "discovery/local_addresses.h"

#include "discovery/os_error.h"

#include <arpa/inet.h>
#include <cerrno>
#include <linux/if_addr.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>

// The list comes from one rtnetlink dump of the kernel's IPv4 addresses, in
// the kernel's order (the order of `ip -4 addr`). This costs a fraction of
// getifaddrs(), which dumps every link with its statistics and every address
// of every family. Linux has no receive-only interfaces, so nothing is left
// out for that reason.

namespace {

[[noreturn]] void RaiseLastError()
{
    throw TOSError(errno);
}

class TRouteSocket {
public:
    TRouteSocket() : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
    {
        if (fd_ < 0)
            RaiseLastError();
    }
    ~TRouteSocket() { ::close(fd_); }
    TRouteSocket(const TRouteSocket&) = delete;
    TRouteSocket& operator=(const TRouteSocket&) = delete;

    int Fd() const { return fd_; }

private:
    int fd_;
};

void RequestIPv4AddressDump(const TRouteSocket& route)
{
    struct {
        nlmsghdr header;
        ifaddrmsg body;
    } request{};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = RTM_GETADDR;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.ifa_family = AF_INET;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(route.Fd(), &request, sizeof request, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        RaiseLastError();
}

// Whether each interface seen so far is a loopback interface, asked once per
// interface: its flags by the name that came with the address (the label,
// "lo" or "lo:1" for an alias, which the kernel takes as "lo"), or by the
// name found from its index when the address came without one.
class TLoopbackInterfaces {
public:
    explicit TLoopbackInterfaces(const TRouteSocket& route) : route_(route) {}

    bool IsLoopback(int index, const char* label)
    {
        for (const auto& [known, loopback] : known_) {
            if (known == index)
                return loopback;
        }
        const bool loopback = AskKernel(index, label);
        known_.push_back({index, loopback});
        return loopback;
    }

private:
    // An interface that vanished since the dump is not a loopback one; its
    // address is gone as well, and a scan will fail on it silently.
    bool AskKernel(int index, const char* label) const
    {
        ifreq request{};
        if (label != nullptr) {
            std::strncpy(request.ifr_name, label, IFNAMSIZ - 1);
        } else {
            request.ifr_ifindex = index;
            if (::ioctl(route_.Fd(), SIOCGIFNAME, &request) != 0)
                return false;
        }
        if (::ioctl(route_.Fd(), SIOCGIFFLAGS, &request) != 0)
            return false;
        return (request.ifr_flags & IFF_LOOPBACK) != 0;
    }

    const TRouteSocket& route_;
    std::vector<std::pair<int, bool>> known_;
};

constexpr std::uint32_t NotPreferred = IFA_F_TENTATIVE | IFA_F_DADFAILED | IFA_F_DEPRECATED;

struct TAddressEntry {
    int interfaceIndex = 0;
    const char* label = nullptr;  // the interface's name, NUL-terminated inside the message
    std::uint32_t flags = 0;
    std::optional<in_addr> address;
};

TAddressEntry ParseAddress(const nlmsghdr* message)
{
    const auto* body = static_cast<const ifaddrmsg*>(NLMSG_DATA(message));
    TAddressEntry entry;
    entry.interfaceIndex = static_cast<int>(body->ifa_index);
    entry.flags = body->ifa_flags;
    std::optional<in_addr> peerOrLocal;
    int remaining = static_cast<int>(IFA_PAYLOAD(message));
    for (const rtattr* attribute = IFA_RTA(body); RTA_OK(attribute, remaining);
         attribute = RTA_NEXT(attribute, remaining)) {
        const void* data = RTA_DATA(attribute);
        if (attribute->rta_type == IFA_FLAGS && RTA_PAYLOAD(attribute) >= sizeof(std::uint32_t))
            std::memcpy(&entry.flags, data, sizeof(std::uint32_t));  // the full 32 flag bits
        else if (attribute->rta_type == IFA_LABEL && std::memchr(data, '\0', RTA_PAYLOAD(attribute)) != nullptr)
            entry.label = static_cast<const char*>(data);
        else if (RTA_PAYLOAD(attribute) < sizeof(in_addr))
            continue;
        else if (attribute->rta_type == IFA_LOCAL)
            entry.address = *static_cast<const in_addr*>(data);
        else if (attribute->rta_type == IFA_ADDRESS)
            peerOrLocal = *static_cast<const in_addr*>(data);
    }
    // On a point-to-point link IFA_ADDRESS is the peer's address and
    // IFA_LOCAL our own; elsewhere both are the same.
    if (!entry.address)
        entry.address = peerOrLocal;
    return entry;
}

std::string DottedDecimal(in_addr address)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address, text.data(), text.size());
    return text.data();
}

// NLMSG_OK() without its signed/unsigned comparison.
bool WholeMessage(const nlmsghdr* message, int remaining)
{
    return remaining >= static_cast<int>(sizeof(nlmsghdr)) && message->nlmsg_len >= sizeof(nlmsghdr) &&
           message->nlmsg_len <= static_cast<unsigned>(remaining);
}

// Takes one batch of dump replies; false once the dump is complete.
bool CollectBatch(const std::uint8_t* batch, std::size_t size, TLoopbackInterfaces& interfaces,
                  std::vector<std::string>& addresses)
{
    int remaining = static_cast<int>(size);
    for (auto* message = reinterpret_cast<const nlmsghdr*>(batch); WholeMessage(message, remaining);
         message = NLMSG_NEXT(message, remaining)) {
        if (message->nlmsg_type == NLMSG_DONE)
            return false;
        if (message->nlmsg_type == NLMSG_ERROR) {
            const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(message));
            throw TOSError(-error->error);
        }
        if (message->nlmsg_type != RTM_NEWADDR)
            continue;
        const TAddressEntry entry = ParseAddress(message);
        if (!entry.address || (entry.flags & NotPreferred) != 0 || interfaces.IsLoopback(entry.interfaceIndex, entry.label))
            continue;
        addresses.push_back(DottedDecimal(*entry.address));
    }
    return true;
}

}  // namespace

std::vector<std::string> LocalAddresses()
{
    const TRouteSocket route;
    RequestIPv4AddressDump(route);
    TLoopbackInterfaces interfaces(route);
    std::vector<std::string> addresses;
    // The kernel sizes each batch after the largest read it has seen, and
    // never above 8 KiB before the first one. Reading 8 KiB at a time keeps
    // its buffers small (larger reads make every dump slower) while no batch
    // can be cut; MSG_TRUNC would tell if one were.
    alignas(nlmsghdr) std::array<std::uint8_t, 8192> batch;
    for (;;) {
        const ssize_t received = ::recv(route.Fd(), batch.data(), batch.size(), MSG_TRUNC);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            RaiseLastError();
        }
        if (static_cast<std::size_t>(received) > batch.size())
            throw TOSError(EMSGSIZE);
        if (!CollectBatch(batch.data(), static_cast<std::size_t>(received), interfaces, addresses))
            return addresses;
    }
}

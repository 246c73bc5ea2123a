#include "discovery/linux/route_socket.h"

#include "discovery/os_error.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

TRouteSocket::TRouteSocket(std::uint32_t multicastGroups)
    : fd_(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE))
{
    if (fd_ < 0)
        throw TOSError(errno);
    if (multicastGroups == 0)
        return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = multicastGroups;
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        const int error = errno;
        ::close(fd_);
        throw TOSError(error);
    }
}

TRouteSocket::~TRouteSocket()
{
    ::close(fd_);
}

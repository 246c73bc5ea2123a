#include "discovery/local_address_watch.h"

#include "discovery/local_addresses.h"
#include "discovery/os_error.h"
#include "discovery/linux/route_socket.h"

#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

// The kernel sends a notice to the IPv4 address group whenever an address
// is added, removed or changes state (deprecated when its preferred
// lifetime ends), and for every address of an interface that goes away.
// Nothing else changes the list: an interface's loopback flag is fixed for
// its life, and its being up or down does not count.
class TLocalAddressWatch::TChangeFeed {
public:
    TChangeFeed() : socket_(RTMGRP_IPV4_IFADDR) {}

    // Reads every notice waiting, without blocking. The notices themselves
    // are not needed, only whether there were any.
    bool ListBehind()
    {
        for (int read = 0; read < MostReadsPerUse; ++read) {
            if (::recv(socket_.Fd(), notice_.data(), notice_.size(), MSG_DONTWAIT | MSG_TRUNC) >= 0) {
                behind_ = true;
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return behind_;
            // ENOBUFS: the socket overflowed and notices were lost, so all
            // that is known is that something changed. Any other failure
            // leaves it unknown: read the list anyway.
            behind_ = true;
            if (errno != ENOBUFS && errno != EINTR)
                return true;
        }
        return true;  // still more: a burst of changes, all covered by one read
    }

    void CaughtUp() { behind_ = false; }

private:
    static constexpr int MostReadsPerUse = 64;

    TRouteSocket socket_;
    bool behind_ = true;  // nothing read yet
    std::array<std::uint8_t, 4096> notice_;
};

TLocalAddressWatch::TLocalAddressWatch() = default;
TLocalAddressWatch::~TLocalAddressWatch() = default;

const std::vector<std::string>& TLocalAddressWatch::Current()
{
    // Subscribed before the list is read, so that no change can fall
    // between the read and the first notice.
    if (!changes_) {
        try {
            changes_ = std::make_unique<TChangeFeed>();
        } catch (const TOSError&) {  // without notices every use reads the list; the next use tries again
        }
    }
    if (changes_ && !changes_->ListBehind())
        return addresses_;
    addresses_ = LocalAddresses();
    if (changes_)
        changes_->CaughtUp();
    return addresses_;
}

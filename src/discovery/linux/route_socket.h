#pragma once

#include <cstdint>

// An rtnetlink socket (NETLINK_ROUTE), closed with the object. With
// `multicastGroups` (RTMGRP_* bits) it also receives the kernel's notices of
// those groups' changes. Raises TOSError when the socket cannot be made.
class TRouteSocket {
public:
    explicit TRouteSocket(std::uint32_t multicastGroups = 0);
    ~TRouteSocket();
    TRouteSocket(const TRouteSocket&) = delete;
    TRouteSocket& operator=(const TRouteSocket&) = delete;

    int Fd() const { return fd_; }

private:
    int fd_;
};

#pragma once

// The socket headers of POSIX systems, and the few names in which their
// socket API differs from Winsock's.
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>

using TSocketLength = socklen_t;
inline constexpr int InvalidArgumentError = EINVAL;
inline constexpr int ReusePortOptionName = SO_REUSEPORT;

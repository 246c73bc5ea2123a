#pragma once

// The Winsock headers, and the few names in which its socket API differs
// from the POSIX one.
#include <winsock2.h>
#include <ws2tcpip.h>

using TSocketLength = int;
inline constexpr int InvalidArgumentError = WSAEINVAL;

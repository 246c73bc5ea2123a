#pragma once

// The Winsock headers, and the few names in which its socket API differs
// from the POSIX one.
#include <winsock2.h>
#include <ws2tcpip.h>

using TSocketLength = int;
inline constexpr int InvalidArgumentError = WSAEINVAL;
// Winsock has no SO_REUSEPORT, and nothing asks for it on Windows
// (windows/port_sharing.cpp); -1 names no option Winsock knows.
inline constexpr int ReusePortOptionName = -1;

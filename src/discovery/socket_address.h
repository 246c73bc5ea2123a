#pragma once

// Socket addresses and options in the system's own form, shared by the
// POSIX and the Winsock socket code (socket_api.h is the platform's).
#include "discovery/udp_socket.h"
#include "socket_api.h"

#include <cstdint>
#include <string>

int NativeFamily(TAddressFamily family);

// Holds either address family; `length` is what bind/sendto/connect are told.
struct TNativeAddress {
    sockaddr_storage storage{};
    TSocketLength length = 0;
};

TNativeAddress WildcardAddress(TAddressFamily family, std::uint16_t port);
// Raises TSocketError when `text` is no numeric address of the family.
TNativeAddress ParseAddress(TAddressFamily family, const std::string& text, std::uint16_t port);
TPeerAddress PeerOf(const sockaddr_storage& storage);

struct TNativeOption {
    int level;
    int name;
};

TNativeOption NativeOption(TSocketOption option);

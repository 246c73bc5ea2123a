#include "discovery/socket_address.h"

#include "discovery/socket_error.h"

#include <cstring>
#include <optional>

int NativeFamily(TAddressFamily family)
{
    return family == TAddressFamily::IPv4 ? AF_INET : AF_INET6;
}

TNativeAddress WildcardAddress(TAddressFamily family, std::uint16_t port)
{
    TNativeAddress native;
    if (family == TAddressFamily::IPv4) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&native.storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
        v4->sin_port = htons(port);
        native.length = sizeof(sockaddr_in);
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&native.storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_any;
        v6->sin6_port = htons(port);
        native.length = sizeof(sockaddr_in6);
    }
    return native;
}

TNativeAddress ParseAddress(TAddressFamily family, const std::string& text, std::uint16_t port)
{
    const std::optional<TPeerAddress> parsed = ParseNumericAddress(family, text);
    if (!parsed)
        throw TSocketError(InvalidArgumentError);
    TNativeAddress native = WildcardAddress(family, port);
    if (family == TAddressFamily::IPv4)
        std::memcpy(&reinterpret_cast<sockaddr_in*>(&native.storage)->sin_addr, parsed->address.data(), 4);
    else
        std::memcpy(&reinterpret_cast<sockaddr_in6*>(&native.storage)->sin6_addr, parsed->address.data(), 16);
    return native;
}

std::string NumericAddressText(const TPeerAddress& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(NativeFamily(address.family), address.address.data(), text, sizeof text);
    return text;
}

std::optional<TPeerAddress> ParseNumericAddress(TAddressFamily family, const std::string& text)
{
    TPeerAddress address;
    address.family = family;
    if (::inet_pton(NativeFamily(family), text.c_str(), address.address.data()) != 1)
        return std::nullopt;
    return address;
}

TPeerAddress PeerOf(const sockaddr_storage& storage)
{
    TPeerAddress peer;
    if (storage.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(storage);
        peer.family = TAddressFamily::IPv6;
        std::memcpy(peer.address.data(), &v6.sin6_addr, 16);
        peer.port = ntohs(v6.sin6_port);
        peer.zone = v6.sin6_scope_id;
    } else {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(storage);
        std::memcpy(peer.address.data(), &v4.sin_addr, 4);
        peer.port = ntohs(v4.sin_port);
    }
    return peer;
}

TNativeOption NativeOption(TSocketOption option)
{
    switch (option) {
    case TSocketOption::ReuseAddress: return {SOL_SOCKET, SO_REUSEADDR};
    case TSocketOption::ReusePort: return {SOL_SOCKET, ReusePortOptionName};
    case TSocketOption::Broadcast: return {SOL_SOCKET, SO_BROADCAST};
    case TSocketOption::IPv6Only: return {IPPROTO_IPV6, IPV6_V6ONLY};
    case TSocketOption::ReceiveBufferSize: return {SOL_SOCKET, SO_RCVBUF};
    }
    return {SOL_SOCKET, SO_REUSEADDR};
}

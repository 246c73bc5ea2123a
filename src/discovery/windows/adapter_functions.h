#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

// The adapter functions of iphlpapi.dll that the local address list is read
// with. A null entry is a function the system lacks; it answers
// ERROR_NOT_SUPPORTED, as a missing function of an older system would.
struct TAdapterFunctions {
    ULONG(WINAPI* getAdaptersAddresses)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG) = nullptr;
    ULONG(WINAPI* getAdaptersInfo)(PIP_ADAPTER_INFO, PULONG) = nullptr;
    DWORD(WINAPI* getUniDirectionalAdapterInfo)(PIP_UNIDIRECTIONAL_ADAPTER_ADDRESS, PULONG) = nullptr;
    // Receive-only adapters are asked for from Windows XP (5.1) on only.
    bool receiveOnlyQuery = false;
};

// The local address list read through `functions`; LocalAddresses() passes
// the system's own. Raises TOSError on a result the list has no rule for.
std::vector<std::string> LocalAddressesFrom(const TAdapterFunctions& functions);

#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

// The functions of iphlpapi.dll that the local address list is read and
// watched with. A null entry is a function the system lacks; it answers
// ERROR_NOT_SUPPORTED, as a missing function of an older system would.
struct TAdapterFunctions {
    ULONG(WINAPI* getAdaptersAddresses)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG) = nullptr;
    ULONG(WINAPI* getAdaptersInfo)(PIP_ADAPTER_INFO, PULONG) = nullptr;
    DWORD(WINAPI* getUniDirectionalAdapterInfo)(PIP_UNIDIRECTIONAL_ADAPTER_ADDRESS, PULONG) = nullptr;
    // Receive-only adapters are asked for from Windows XP (5.1) on only.
    bool receiveOnlyQuery = false;
    // Notices of address changes (Windows Vista on).
    DWORD(WINAPI* notifyUnicastIpAddressChange)(ADDRESS_FAMILY, PUNICAST_IPADDRESS_CHANGE_CALLBACK, PVOID, BOOLEAN,
                                                HANDLE*) = nullptr;
    DWORD(WINAPI* cancelMibChangeNotify2)(HANDLE) = nullptr;
};

// iphlpapi.dll, loaded for as long as the object lives, with its functions
// looked up at run time: the program imports none of them, so it starts
// on every Windows, and a function the system lacks is a null entry.
class TIpHelperLibrary {
public:
    TIpHelperLibrary();
    ~TIpHelperLibrary();
    TIpHelperLibrary(const TIpHelperLibrary&) = delete;
    TIpHelperLibrary& operator=(const TIpHelperLibrary&) = delete;

    // Valid while this object lives.
    const TAdapterFunctions& Functions() const { return functions_; }

private:
    HMODULE module_;
    TAdapterFunctions functions_;
};

// The local address list read through `functions`; LocalAddresses() passes
// the system's own. Raises TOSError on a result the list has no rule for.
std::vector<std::string> LocalAddressesFrom(const TAdapterFunctions& functions);

#pragma once

#include "discovery/windows/adapter_functions.h"

#include <atomic>
#include <string>
#include <vector>

// The system's notices of changes to the machine's IPv4 addresses
// (NotifyUnicastIpAddressChange), registered for as long as the object
// lives. The callback runs on a thread of the system's and only raises a
// flag; the list's reader takes it down. Where no notices come (the
// functions are missing, the registration is refused, or it is taken
// without a handle, as Wine 8.0 does: it never calls back), every question
// answers that the list may have changed.
class TAddressNotices {
public:
    // `functions` only has to last for the constructor, and its
    // cancelMibChangeNotify2 for the object's life.
    explicit TAddressNotices(const TAdapterFunctions& functions);
    // Cancels the registration; the system waits for a callback that is
    // running, so none runs afterwards.
    ~TAddressNotices();
    TAddressNotices(const TAddressNotices&) = delete;
    TAddressNotices& operator=(const TAddressNotices&) = delete;

    bool Delivered() const { return registration_ != nullptr; }
    // Whether the list may have changed since the last call answered
    // false; answers true at the first call. Takes the flag down.
    bool TakeChange();
    // The list could not be read: the next call answers true again.
    void Doubt() { changed_ = true; }

private:
    static void WINAPI Changed(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE);

    std::atomic<bool> changed_{true};
    DWORD(WINAPI* cancel_)(HANDLE) = nullptr;
    HANDLE registration_ = nullptr;
};

// The list kept in `kept`, read anew through `functions` when `notices`
// says it may have changed; answers it. A failed read raises what
// LocalAddressesFrom raises, and the next call reads again.
const std::vector<std::string>& RefreshedAddresses(TAddressNotices& notices, const TAdapterFunctions& functions,
                                                   std::vector<std::string>& kept);

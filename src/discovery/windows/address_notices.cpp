#include "discovery/windows/address_notices.h"

TAddressNotices::TAddressNotices(const TAdapterFunctions& functions)
{
    if (!functions.notifyUnicastIpAddressChange || !functions.cancelMibChangeNotify2)
        return;
    HANDLE registration = nullptr;
    // No initial notice: the flag starts raised, so the first use reads the
    // list anyway, after this registration, and no change can fall between.
    if (functions.notifyUnicastIpAddressChange(AF_INET, &TAddressNotices::Changed, &changed_, FALSE,
                                               &registration) != NO_ERROR)
        return;
    cancel_ = functions.cancelMibChangeNotify2;
    registration_ = registration;
}

TAddressNotices::~TAddressNotices()
{
    if (registration_)
        cancel_(registration_);
}

bool TAddressNotices::TakeChange()
{
    // Taken down before the list is read: a change during the read raises
    // it again, and the next use reads once more.
    return !Delivered() || changed_.exchange(false);
}

void WINAPI TAddressNotices::Changed(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE)
{
    // Any notice counts: an address added, removed, or changed in a way
    // that may take it into the list or out of it (its DAD state).
    static_cast<std::atomic<bool>*>(context)->store(true);
}

const std::vector<std::string>& RefreshedAddresses(TAddressNotices& notices, const TAdapterFunctions& functions,
                                                   std::vector<std::string>& kept)
{
    if (!notices.TakeChange())
        return kept;
    try {
        kept = LocalAddressesFrom(functions);
    } catch (...) {
        // Whatever failed, the list kept is no longer known to be current:
        // it is not served again before a read succeeds.
        notices.Doubt();
        throw;
    }
    return kept;
}

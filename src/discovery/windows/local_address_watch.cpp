#include "discovery/local_address_watch.h"

#include "discovery/windows/address_notices.h"

// The notices and the functions that read the list, from iphlpapi.dll kept
// loaded while registered.
class TLocalAddressWatch::TChangeFeed {
public:
    TChangeFeed() : notices_(library_.Functions()) {}

    const std::vector<std::string>& Refreshed(std::vector<std::string>& kept)
    {
        return RefreshedAddresses(notices_, library_.Functions(), kept);
    }

private:
    TIpHelperLibrary library_;
    TAddressNotices notices_;
};

TLocalAddressWatch::TLocalAddressWatch() = default;
TLocalAddressWatch::~TLocalAddressWatch() = default;

const std::vector<std::string>& TLocalAddressWatch::Current()
{
    // Registered before the list is first read, so that no change can fall
    // between the read and the first notice.
    if (!changes_)
        changes_ = std::make_unique<TChangeFeed>();
    return changes_->Refreshed(addresses_);
}

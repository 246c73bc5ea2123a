#include "discovery/local_address_watch.h"

#include "discovery/local_addresses.h"

// No notices of address changes are taken here: every use reads the list.
class TLocalAddressWatch::TChangeFeed {};

TLocalAddressWatch::TLocalAddressWatch() = default;
TLocalAddressWatch::~TLocalAddressWatch() = default;

const std::vector<std::string>& TLocalAddressWatch::Current()
{
    addresses_ = LocalAddresses();
    return addresses_;
}

#pragma once

#include <memory>
#include <string>
#include <vector>

// The local address list (LocalAddresses()) for a reader that needs it
// often, such as the reply handler with every datagram. Where the system
// reports address changes, the list is kept between uses and read anew only
// after a change, or after any doubt (lost notices, a failed read);
// elsewhere every use reads it anew. Either way each use gets the list as
// it is at that moment. One thread at a time.
class TLocalAddressWatch {
public:
    TLocalAddressWatch();
    ~TLocalAddressWatch();
    TLocalAddressWatch(const TLocalAddressWatch&) = delete;
    TLocalAddressWatch& operator=(const TLocalAddressWatch&) = delete;

    // The current list, valid until the next call. Raises what
    // LocalAddresses() raises; the next call then reads it anew.
    const std::vector<std::string>& Current();

private:
    class TChangeFeed;  // the platform's notices of address changes
    std::unique_ptr<TChangeFeed> changes_;
    std::vector<std::string> addresses_;
};

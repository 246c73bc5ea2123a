// Feeds arbitrary kernel replies to the local address reader, as a broken or
// hostile rtnetlink peer might. The input is the conversation's reads in
// order, each after its length in two bytes, little-endian; the last one
// takes what remains.
#include "discovery/linux/netlink_address_reader.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <span>
#include <system_error>

namespace {

struct TEndOfInput {};

class TFuzzedKernel : public TNetlinkTransport {
public:
    explicit TFuzzedKernel(std::span<const std::uint8_t> input) : input_(input) {}

    void RequestDump(std::uint16_t) override { ++requests; }

    std::span<const std::uint8_t> Receive() override
    {
        if (input_.size() < 2)
            throw TEndOfInput{};
        std::size_t length = input_[0] | static_cast<std::size_t>(input_[1]) << 8;
        input_ = input_.subspan(2);
        length = std::min(length, input_.size());
        const auto read = input_.first(length);
        input_ = input_.subspan(length);
        return read;
    }

    int requests = 0;

private:
    std::span<const std::uint8_t> input_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TFuzzedKernel kernel({data, size});
    try {
        for (const std::string& address : ReadLocalAddresses(kernel)) {
            // Every entry is an IPv4 address in its text form.
            in_addr parsed{};
            if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1)
                std::abort();
        }
    } catch (const std::system_error&) {  // a refused reply is a correct answer to bad bytes
    } catch (const TEndOfInput&) {         // the reader wanted more than the input holds
    }
    // Both dumps at each attempt, never more attempts than allowed.
    if (kernel.requests > 2 * MaxDumpAttempts)
        std::abort();
    return 0;
}

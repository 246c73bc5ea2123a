// Cost per call of LocalAddresses() beside getifaddrs() + freeifaddrs(), and
// per use of the list kept by TLocalAddressWatch (what the reply handler asks
// for with every datagram) beside a full LocalAddresses() read, in the same
// run, in an isolated network namespace with a few links and addresses.
#include "discovery/local_address_watch.h"
#include "discovery/local_addresses.h"
#include "netns_lab.h"
#include "not_run.h"
#include "statistics.h"

#include <ifaddrs.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int Rounds = 15;
constexpr int CallsPerRound = 2000;

using TClock = std::chrono::steady_clock;

template <class Call>
double MicrosecondsPerCall(Call call)
{
    const auto start = TClock::now();
    for (int i = 0; i < CallsPerRound; ++i)
        call();
    const std::chrono::duration<double, std::micro> spent = TClock::now() - start;
    return spent.count() / CallsPerRound;
}

void ReadWithGetifaddrs()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0)
        ::freeifaddrs(list);
}

void ReadLocalAddresses()
{
    const std::vector<std::string> addresses = LocalAddresses();
    if (addresses.empty())
        std::abort();  // the lab's addresses must be there, or nothing is measured
}

void BuildRealisticMachine(TNetnsLab& lab)
{
    const TDeviceLink office = lab.AddDevice("192.168.0.10/24", "192.168.0.77/24");
    lab.AddAddress(office.hostInterface, "fd00::10/64", "nodad");
    lab.AddAddress(office.hostInterface, "192.168.0.11/24");
    lab.AddDevice("10.0.0.5/24", "10.0.0.77/24");
    lab.AddDevice("172.16.4.2/16", "172.16.4.77/16");
    lab.AddAddress("lo", "10.9.9.9/32");
}

}  // namespace

int main()
{
    if (const std::string whyNot = IsolateNetwork(); !whyNot.empty())
        return NotRun("no network namespaces: " + whyNot);
    TNetnsLab lab;
    BuildRealisticMachine(lab);

    std::printf("addresses listed:");
    for (const std::string& address : LocalAddresses())
        std::printf(" %s", address.c_str());
    std::printf("\n");

    TLocalAddressWatch watch;
    const auto useKeptList = [&] {
        if (watch.Current().empty())
            std::abort();
    };
    std::vector<double> ours;
    std::vector<double> getifaddrs;
    std::vector<double> kept;
    // Alternating rounds share whatever the machine is doing meanwhile.
    for (int round = 0; round < Rounds; ++round) {
        ours.push_back(MicrosecondsPerCall(ReadLocalAddresses));
        getifaddrs.push_back(MicrosecondsPerCall(ReadWithGetifaddrs));
        kept.push_back(MicrosecondsPerCall(useKeptList));
    }
    const double oursMedian = Median(ours);
    const double getifaddrsMedian = Median(getifaddrs);
    const double keptMedian = Median(kept);
    std::printf("LocalAddresses():           %7.2f us per call (median of %d rounds of %d)\n", oursMedian, Rounds,
                CallsPerRound);
    std::printf("getifaddrs()+freeifaddrs(): %7.2f us per call\n", getifaddrsMedian);
    std::printf("TLocalAddressWatch use:     %7.2f us per call, no address changing\n", keptMedian);
    std::printf("ratio LocalAddresses / getifaddrs: %.2f\n", oursMedian / getifaddrsMedian);
    std::printf("ratio kept list / LocalAddresses: %.3f\n", keptMedian / oursMedian);
    return 0;
}

// The local address list's rules for results that Wine never gives (and a
// real system rarely does), and the list kept between notices of address
// changes, which Wine never sends, through a fake table of adapter
// functions.

#include "discovery/os_error.h"
#include "discovery/windows/adapter_functions.h"
#include "discovery/windows/address_notices.h"

#include <QTest>

#include <cstring>
#include <optional>
#include <thread>

using Texts = std::vector<std::string>;
using Sizes = std::vector<ULONG>;
Q_DECLARE_METATYPE(Texts)
Q_DECLARE_METATYPE(Sizes)

namespace {

struct TFakeAddress {
    std::string text;  // IPv4 dotted decimal, or IPv6 when it has a ':'
    IP_DAD_STATE state = IpDadStatePreferred;
};

struct TFakeAdapter {
    std::vector<TFakeAddress> addresses;
    IFTYPE type = IF_TYPE_ETHERNET_CSMACD;
    DWORD flags = 0;
    IF_OPER_STATUS operStatus = IfOperStatusUp;
};

// One query of the fake system: the sizes it asks for, one per call, before
// it answers `result` (and fills the buffer when that is NO_ERROR).
struct TFakeQuery {
    ULONG result = NO_ERROR;
    Sizes demands;
    Sizes offered;  // the buffer sizes the caller passed, call by call
    bool emptyAnswer = false;  // NO_ERROR with a reported size of 0

    // Whether the caller must grow its buffer first; sets *size as the
    // system would.
    bool AsksForMore(PULONG size, ULONG growResult, ULONG& answer)
    {
        offered.push_back(*size);
        const std::size_t call = offered.size() - 1;
        if (call < demands.size() && *size < demands[call]) {
            *size = demands[call];
            answer = growResult;
            return true;
        }
        return false;
    }
};

struct TFakeSystem {
    std::vector<TFakeAdapter> adapters;
    TFakeQuery primary;
    ULONG familyAsked = 99;
    ULONG flagsAsked = 0;

    std::vector<Texts> infoAdapters;  // the older query's adapters and their address texts
    TFakeQuery older;
    Texts receiveOnly;
    TFakeQuery receiveOnlyQuery;
};

TFakeSystem* fake = nullptr;

// Hands out 8-byte aligned pieces of the caller's buffer.
class TArena {
public:
    TArena(void* buffer, ULONG size) : next_(static_cast<std::uint8_t*>(buffer)), end_(next_ + size) {}
    template <class Record>
    Record* Take(std::size_t bytes = sizeof(Record))
    {
        auto* record = reinterpret_cast<Record*>(next_);
        next_ += (bytes + 7) / 8 * 8;
        if (next_ > end_)
            qFatal("fake adapter records overflow the buffer");
        std::memset(static_cast<void*>(record), 0, bytes);
        return record;
    }

private:
    std::uint8_t* next_;
    std::uint8_t* end_;
};

void FillAddress(TArena& arena, IP_ADAPTER_UNICAST_ADDRESS* unicast, const TFakeAddress& address)
{
    unicast->DadState = address.state;
    if (address.text.find(':') != std::string::npos) {
        auto* ipv6 = arena.Take<sockaddr_in6>();
        ipv6->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, address.text.c_str(), &ipv6->sin6_addr);
        unicast->Address = {reinterpret_cast<LPSOCKADDR>(ipv6), sizeof *ipv6};
    } else {
        auto* ipv4 = arena.Take<sockaddr_in>();
        ipv4->sin_family = AF_INET;
        ::inet_pton(AF_INET, address.text.c_str(), &ipv4->sin_addr);
        unicast->Address = {reinterpret_cast<LPSOCKADDR>(ipv4), sizeof *ipv4};
    }
}

ULONG WINAPI FakeGetAdaptersAddresses(ULONG family, ULONG flags, PVOID, PIP_ADAPTER_ADDRESSES first, PULONG size)
{
    fake->familyAsked = family;
    fake->flagsAsked = flags;
    ULONG answer = 0;
    if (fake->primary.AsksForMore(size, ERROR_BUFFER_OVERFLOW, answer))
        return answer;
    if (fake->primary.result != NO_ERROR)
        return fake->primary.result;
    if (fake->primary.emptyAnswer) {
        *size = 0;
        return NO_ERROR;
    }
    TArena arena(first, *size);
    IP_ADAPTER_ADDRESSES* previous = nullptr;
    for (const TFakeAdapter& adapter : fake->adapters) {
        auto* record = arena.Take<IP_ADAPTER_ADDRESSES>();
        record->Length = sizeof *record;
        record->IfType = adapter.type;
        record->Flags = adapter.flags;
        record->OperStatus = adapter.operStatus;
        (previous ? previous->Next : first) = record;
        IP_ADAPTER_UNICAST_ADDRESS* previousAddress = nullptr;
        for (const TFakeAddress& address : adapter.addresses) {
            auto* unicast = arena.Take<IP_ADAPTER_UNICAST_ADDRESS>();
            unicast->Length = sizeof *unicast;
            FillAddress(arena, unicast, address);
            (previousAddress ? previousAddress->Next : record->FirstUnicastAddress) = unicast;
            previousAddress = unicast;
        }
        previous = record;
    }
    return NO_ERROR;
}

ULONG WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO first, PULONG size)
{
    ULONG answer = 0;
    if (fake->older.AsksForMore(size, ERROR_BUFFER_OVERFLOW, answer))
        return answer;
    if (fake->older.result != NO_ERROR)
        return fake->older.result;
    if (fake->older.emptyAnswer) {
        *size = 0;
        return NO_ERROR;
    }
    TArena arena(first, *size);
    IP_ADAPTER_INFO* previous = nullptr;
    for (const Texts& texts : fake->infoAdapters) {
        auto* record = arena.Take<IP_ADAPTER_INFO>();
        (previous ? previous->Next : first) = record;
        IP_ADDR_STRING* entry = &record->IpAddressList;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            if (i > 0) {
                entry->Next = arena.Take<IP_ADDR_STRING>();
                entry = entry->Next;
            }
            std::strncpy(entry->IpAddress.String, texts[i].c_str(), sizeof entry->IpAddress.String - 1);
        }
        previous = record;
    }
    return NO_ERROR;
}

DWORD WINAPI FakeGetUniDirectionalAdapterInfo(PIP_UNIDIRECTIONAL_ADAPTER_ADDRESS addresses, PULONG size)
{
    ULONG answer = 0;
    if (fake->receiveOnlyQuery.AsksForMore(size, ERROR_MORE_DATA, answer))
        return answer;
    if (fake->receiveOnlyQuery.result != NO_ERROR)
        return fake->receiveOnlyQuery.result;
    addresses->NumAdapters = static_cast<ULONG>(fake->receiveOnly.size());
    for (std::size_t i = 0; i < fake->receiveOnly.size(); ++i)
        ::inet_pton(AF_INET, fake->receiveOnly[i].c_str(), &addresses->Address[i]);
    return NO_ERROR;
}

// The fake system's notices of address changes: how a registration is
// answered, and what it was asked and given.
struct TFakeNotices {
    DWORD result = NO_ERROR;
    HANDLE handle = reinterpret_cast<HANDLE>(0x5150);  // null: taken without one, as Wine 8.0 does
    int registrations = 0;
    ADDRESS_FAMILY familyAsked = AF_UNSPEC;
    BOOLEAN initialNoticeAsked = TRUE;
    PUNICAST_IPADDRESS_CHANGE_CALLBACK callback = nullptr;
    PVOID context = nullptr;
    std::vector<HANDLE> cancelled;

    // A change reported as the system does: on a thread of its own.
    void ReportChange() const
    {
        std::thread system([this] { callback(context, nullptr, MibAddInstance); });
        system.join();
    }
};

TFakeNotices* fakeNotices = nullptr;

DWORD WINAPI FakeNotifyUnicastIpAddressChange(ADDRESS_FAMILY family, PUNICAST_IPADDRESS_CHANGE_CALLBACK callback,
                                              PVOID context, BOOLEAN initialNotice, HANDLE* handle)
{
    ++fakeNotices->registrations;
    fakeNotices->familyAsked = family;
    fakeNotices->initialNoticeAsked = initialNotice;
    fakeNotices->callback = callback;
    fakeNotices->context = context;
    *handle = fakeNotices->result == NO_ERROR ? fakeNotices->handle : nullptr;
    return fakeNotices->result;
}

DWORD WINAPI FakeCancelMibChangeNotify2(HANDLE handle)
{
    fakeNotices->cancelled.push_back(handle);
    return NO_ERROR;
}

// The fake system in place for one test; every function present.
class TInstalledFake {
public:
    explicit TInstalledFake(TFakeSystem& system, TFakeNotices* notices = nullptr)
    {
        fake = &system;
        fakeNotices = notices;
        functions.getAdaptersAddresses = &FakeGetAdaptersAddresses;
        functions.getAdaptersInfo = &FakeGetAdaptersInfo;
        functions.getUniDirectionalAdapterInfo = &FakeGetUniDirectionalAdapterInfo;
        functions.receiveOnlyQuery = true;
        functions.notifyUnicastIpAddressChange = &FakeNotifyUnicastIpAddressChange;
        functions.cancelMibChangeNotify2 = &FakeCancelMibChangeNotify2;
    }
    ~TInstalledFake()
    {
        fake = nullptr;
        fakeNotices = nullptr;
    }

    TAdapterFunctions functions;
};

constexpr ULONG FirstBufferSize = 15360;

}  // namespace

class TestAdapterFunctions : public QObject {
    Q_OBJECT
private slots:
    void walksAdaptersByTheirRules();
    void growsTheBufferAsOftenAsAsked();
    void primaryResults_data();
    void primaryResults();
    void missingPrimaryFunctionFallsBack();
    void olderQuery_data();
    void olderQuery();
    void olderQueryFailureRaises_data();
    void olderQueryFailureRaises();
    void listKeptBetweenNoticesAndReadAfterEach();
    void withoutNoticesEveryUseReads_data();
    void withoutNoticesEveryUseReads();
    void failedReadIsNeverServedStale();
};

void TestAdapterFunctions::walksAdaptersByTheirRules()
{
    TFakeSystem system;
    system.adapters = {
        {{{"10.0.0.5"}, {"fd00::5"}, {"10.0.0.6"}}},
        {{{"127.0.0.1"}}, IF_TYPE_SOFTWARE_LOOPBACK},
        {{{"10.9.9.9"}}, IF_TYPE_ETHERNET_CSMACD, IP_ADAPTER_RECEIVE_ONLY},
        {{{"192.168.0.10"}, {"192.168.0.11", IpDadStateTentative}, {"192.168.0.12", IpDadStateDuplicate},
          {"192.168.0.13", IpDadStateDeprecated}, {"192.168.0.14", IpDadStateInvalid}}},
        {{{"172.16.0.1"}}, IF_TYPE_IEEE80211, 0, IfOperStatusDown},  // down, still listed
        {{{"10.0.0.5"}}, IF_TYPE_TUNNEL},  // the same address twice: listed twice
    };
    TInstalledFake installed(system);
    QCOMPARE(LocalAddressesFrom(installed.functions),
             (Texts{"10.0.0.5", "10.0.0.6", "192.168.0.10", "172.16.0.1", "10.0.0.5"}));
    QCOMPARE(system.familyAsked, ULONG(AF_UNSPEC));
    QCOMPARE(system.flagsAsked, ULONG(0x2E));
    QCOMPARE(system.primary.offered, Sizes{FirstBufferSize});
    QVERIFY(system.older.offered.empty());
}

void TestAdapterFunctions::growsTheBufferAsOftenAsAsked()
{
    TFakeSystem system;
    for (int i = 0; i < 60; ++i)  // about 30,000 bytes of records
        system.adapters.push_back({{{"10.1." + std::to_string(i) + ".1"}}});
    system.primary.demands = {20000, 40000};
    TInstalledFake installed(system);
    const Texts addresses = LocalAddressesFrom(installed.functions);
    QCOMPARE(addresses.size(), std::size_t(60));
    QCOMPARE(addresses.back(), std::string("10.1.59.1"));
    QCOMPARE(system.primary.offered, (Sizes{FirstBufferSize, 20000, 40000}));
}

void TestAdapterFunctions::primaryResults_data()
{
    QTest::addColumn<ULONG>("result");
    QTest::addColumn<bool>("fallsBack");
    QTest::addColumn<std::optional<int>>("raised");
    QTest::newRow("232 no data: empty, no fallback") << ULONG(232) << false << std::optional<int>{};
    QTest::newRow("1228 not associated: empty, no fallback") << ULONG(1228) << false << std::optional<int>{};
    QTest::newRow("50 not supported: the older query") << ULONG(50) << true << std::optional<int>{};
    QTest::newRow("87 any other: raised") << ULONG(87) << false << std::optional<int>{87};
    QTest::newRow("8 any other: raised") << ULONG(8) << false << std::optional<int>{8};
}

void TestAdapterFunctions::primaryResults()
{
    QFETCH(ULONG, result);
    QFETCH(bool, fallsBack);
    QFETCH(std::optional<int>, raised);
    TFakeSystem system;
    system.adapters = {{{{"10.0.0.5"}}}};
    system.primary.result = result;
    system.infoAdapters = {{"10.7.7.7"}};
    TInstalledFake installed(system);
    try {
        const Texts addresses = LocalAddressesFrom(installed.functions);
        QVERIFY2(!raised, "no error raised");
        QCOMPARE(addresses, fallsBack ? Texts{"10.7.7.7"} : Texts{});
    } catch (const TOSError& error) {
        // The list's one failure: it must carry the system's number.
        QVERIFY2(raised.has_value(), error.what());
        QCOMPARE(error.code().value(), *raised);
        const std::string prefix = "System Error.  Code: " + std::to_string(*raised) + ".\n";
        QCOMPARE(std::string(error.what()).substr(0, prefix.size()), prefix);
    }
    QCOMPARE(system.older.offered.empty(), !fallsBack);
}

void TestAdapterFunctions::missingPrimaryFunctionFallsBack()
{
    TFakeSystem system;
    system.adapters = {{{{"10.0.0.5"}}}};
    system.infoAdapters = {{"10.7.7.7"}};
    TInstalledFake installed(system);
    installed.functions.getAdaptersAddresses = nullptr;
    QCOMPARE(LocalAddressesFrom(installed.functions), Texts{"10.7.7.7"});
    installed.functions.getAdaptersInfo = nullptr;  // no query at all: an empty list
    QCOMPARE(LocalAddressesFrom(installed.functions), Texts{});
}

void TestAdapterFunctions::olderQuery_data()
{
    QTest::addColumn<std::vector<Texts>>("infoAdapters");
    QTest::addColumn<Sizes>("demands");
    QTest::addColumn<ULONG>("olderResult");
    QTest::addColumn<bool>("emptyAnswer");
    QTest::addColumn<Texts>("receiveOnly");
    QTest::addColumn<Sizes>("receiveOnlyDemands");
    QTest::addColumn<ULONG>("receiveOnlyResult");
    QTest::addColumn<bool>("receiveOnlyQuery");
    QTest::addColumn<Texts>("expected");

    const std::vector<Texts> adapters{{"10.0.0.5", "0.0.0.0", "10.0.0.6"}, {""}, {"10.9.9.9", "192.168.0.10"}, {"10.0.0.5"}};
    QTest::newRow("empty and 0.0.0.0 left out, duplicates kept")
        << adapters << Sizes{} << ULONG(NO_ERROR) << false << Texts{} << Sizes{} << ULONG(NO_ERROR) << true
        << Texts{"10.0.0.5", "10.0.0.6", "10.9.9.9", "192.168.0.10", "10.0.0.5"};
    QTest::newRow("receive-only addresses left out, their query grown")
        << adapters << Sizes{} << ULONG(NO_ERROR) << false << Texts{"10.9.9.9", "10.0.0.5"} << Sizes{20000}
        << ULONG(NO_ERROR) << true << Texts{"10.0.0.6", "192.168.0.10"};
    QTest::newRow("before Windows XP the receive-only query is not made")
        << adapters << Sizes{} << ULONG(NO_ERROR) << false << Texts{"10.9.9.9"} << Sizes{} << ULONG(NO_ERROR) << false
        << Texts{"10.0.0.5", "10.0.0.6", "10.9.9.9", "192.168.0.10", "10.0.0.5"};
    QTest::newRow("receive-only query 232: none")
        << adapters << Sizes{} << ULONG(NO_ERROR) << false << Texts{"10.9.9.9"} << Sizes{} << ULONG(232) << true
        << Texts{"10.0.0.5", "10.0.0.6", "10.9.9.9", "192.168.0.10", "10.0.0.5"};
    QTest::newRow("receive-only query 50: none")
        << adapters << Sizes{} << ULONG(NO_ERROR) << false << Texts{"10.9.9.9"} << Sizes{} << ULONG(50) << true
        << Texts{"10.0.0.5", "10.0.0.6", "10.9.9.9", "192.168.0.10", "10.0.0.5"};
    QTest::newRow("grown twice") << adapters << Sizes{20000, 30000} << ULONG(NO_ERROR) << false << Texts{} << Sizes{}
                                 << ULONG(NO_ERROR) << true
                                 << Texts{"10.0.0.5", "10.0.0.6", "10.9.9.9", "192.168.0.10", "10.0.0.5"};
    QTest::newRow("0 and size 0: empty") << adapters << Sizes{} << ULONG(NO_ERROR) << true << Texts{} << Sizes{}
                                         << ULONG(NO_ERROR) << true << Texts{};
    QTest::newRow("232: empty") << adapters << Sizes{} << ULONG(232) << false << Texts{} << Sizes{} << ULONG(NO_ERROR)
                                << true << Texts{};
    QTest::newRow("50: empty") << adapters << Sizes{} << ULONG(50) << false << Texts{} << Sizes{} << ULONG(NO_ERROR)
                               << true << Texts{};
}

void TestAdapterFunctions::olderQuery()
{
    QFETCH(std::vector<Texts>, infoAdapters);
    QFETCH(Sizes, demands);
    QFETCH(ULONG, olderResult);
    QFETCH(bool, emptyAnswer);
    QFETCH(Texts, receiveOnly);
    QFETCH(Sizes, receiveOnlyDemands);
    QFETCH(ULONG, receiveOnlyResult);
    QFETCH(bool, receiveOnlyQuery);
    QFETCH(Texts, expected);
    TFakeSystem system;
    system.primary.result = ERROR_NOT_SUPPORTED;
    system.infoAdapters = infoAdapters;
    system.older.demands = demands;
    system.older.result = olderResult;
    system.older.emptyAnswer = emptyAnswer;
    system.receiveOnly = receiveOnly;
    system.receiveOnlyQuery.demands = receiveOnlyDemands;
    system.receiveOnlyQuery.result = receiveOnlyResult;
    TInstalledFake installed(system);
    installed.functions.receiveOnlyQuery = receiveOnlyQuery;
    QCOMPARE(LocalAddressesFrom(installed.functions), expected);
    QCOMPARE(system.older.offered.size(), demands.size() + 1);
    if (!demands.empty())
        QCOMPARE(system.older.offered.back(), demands.back());
    if (!receiveOnlyDemands.empty())
        QCOMPARE(system.receiveOnlyQuery.offered, (Sizes{FirstBufferSize, receiveOnlyDemands.back()}));
    if (!receiveOnlyQuery)
        QVERIFY(system.receiveOnlyQuery.offered.empty());
}

void TestAdapterFunctions::olderQueryFailureRaises_data()
{
    QTest::addColumn<ULONG>("olderResult");
    QTest::addColumn<ULONG>("receiveOnlyResult");
    QTest::addColumn<int>("raised");
    QTest::newRow("older query 87") << ULONG(87) << ULONG(NO_ERROR) << 87;
    QTest::newRow("older query 1228 (no rule there)") << ULONG(1228) << ULONG(NO_ERROR) << 1228;
    QTest::newRow("receive-only query 87") << ULONG(NO_ERROR) << ULONG(87) << 87;
}

void TestAdapterFunctions::olderQueryFailureRaises()
{
    QFETCH(ULONG, olderResult);
    QFETCH(ULONG, receiveOnlyResult);
    QFETCH(int, raised);
    TFakeSystem system;
    system.primary.result = ERROR_NOT_SUPPORTED;
    system.infoAdapters = {{"10.0.0.5"}};
    system.older.result = olderResult;
    system.receiveOnlyQuery.result = receiveOnlyResult;
    TInstalledFake installed(system);
    try {
        LocalAddressesFrom(installed.functions);
        QFAIL("no error raised");
    } catch (const TOSError& error) {
        // Expected: the failure's number must come through.
        QCOMPARE(error.code().value(), raised);
    }
}

void TestAdapterFunctions::listKeptBetweenNoticesAndReadAfterEach()
{
    TFakeSystem system;
    system.adapters = {{{{"10.0.0.5"}}}};
    TFakeNotices notices;
    TInstalledFake installed(system, &notices);
    std::vector<std::string> kept;
    {
        TAddressNotices watch(installed.functions);
        QVERIFY(watch.Delivered());
        QCOMPARE(notices.registrations, 1);
        QCOMPARE(notices.familyAsked, ADDRESS_FAMILY(AF_INET));
        QCOMPARE(notices.initialNoticeAsked, BOOLEAN(FALSE));
        // Read once, then kept while nothing is reported.
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), Texts{"10.0.0.5"});
        system.adapters.push_back({{{"10.0.0.6"}}});
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), Texts{"10.0.0.5"});
        QCOMPARE(system.primary.offered.size(), std::size_t{1});
        // One notice, from the system's thread: the next use reads anew, once.
        notices.ReportChange();
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
        QCOMPARE(system.primary.offered.size(), std::size_t{2});
        QVERIFY(notices.cancelled.empty());
    }
    // Gone: the registration is cancelled with the handle it was given.
    QCOMPARE(notices.cancelled, std::vector<HANDLE>{notices.handle});
}

void TestAdapterFunctions::withoutNoticesEveryUseReads_data()
{
    QTest::addColumn<bool>("notifyMissing");
    QTest::addColumn<bool>("cancelMissing");
    QTest::addColumn<ULONG>("result");
    QTest::addColumn<bool>("withHandle");
    QTest::newRow("no NotifyUnicastIpAddressChange") << true << false << ULONG(NO_ERROR) << true;
    QTest::newRow("no CancelMibChangeNotify2") << false << true << ULONG(NO_ERROR) << true;
    QTest::newRow("refused: 50 not supported") << false << false << ULONG(50) << true;
    QTest::newRow("refused: 8 no memory") << false << false << ULONG(8) << true;
    QTest::newRow("taken without a handle (Wine 8.0)") << false << false << ULONG(NO_ERROR) << false;
}

void TestAdapterFunctions::withoutNoticesEveryUseReads()
{
    QFETCH(bool, notifyMissing);
    QFETCH(bool, cancelMissing);
    QFETCH(ULONG, result);
    QFETCH(bool, withHandle);
    TFakeSystem system;
    system.adapters = {{{{"10.0.0.5"}}}};
    TFakeNotices notices;
    notices.result = result;
    if (!withHandle)
        notices.handle = nullptr;
    TInstalledFake installed(system, &notices);
    if (notifyMissing)
        installed.functions.notifyUnicastIpAddressChange = nullptr;
    if (cancelMissing)
        installed.functions.cancelMibChangeNotify2 = nullptr;
    std::vector<std::string> kept;
    {
        TAddressNotices watch(installed.functions);
        QVERIFY(!watch.Delivered());
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), Texts{"10.0.0.5"});
        system.adapters.push_back({{{"10.0.0.6"}}});
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
        QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
        QCOMPARE(system.primary.offered.size(), std::size_t{3});
    }
    // Nothing registered, nothing to cancel: a null handle is never passed on.
    QVERIFY(notices.cancelled.empty());
}

void TestAdapterFunctions::failedReadIsNeverServedStale()
{
    TFakeSystem system;
    system.adapters = {{{{"10.0.0.5"}}}};
    TFakeNotices notices;
    TInstalledFake installed(system, &notices);
    TAddressNotices watch(installed.functions);
    std::vector<std::string> kept;
    QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), Texts{"10.0.0.5"});
    system.adapters.push_back({{{"10.0.0.6"}}});
    notices.ReportChange();
    // Changed, and the list cannot be read: each use raises rather than
    // serve the old list, with no further notice.
    system.primary.result = 87;
    for (int use = 0; use < 2; ++use)
        QVERIFY_THROWS_EXCEPTION(TOSError, RefreshedAddresses(watch, installed.functions, kept));
    system.primary.result = NO_ERROR;
    QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
    QCOMPARE(RefreshedAddresses(watch, installed.functions, kept), (Texts{"10.0.0.5", "10.0.0.6"}));
    QCOMPARE(system.primary.offered.size(), std::size_t{4});
}

QTEST_APPLESS_MAIN(TestAdapterFunctions)
#include "tst_adapter_functions.moc"

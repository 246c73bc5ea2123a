#include "discovery/local_addresses.h"

#include "discovery/os_error.h"
#include "discovery/windows/adapter_functions.h"

#include <versionhelpers.h>
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr ULONG InitialBufferSize = 15360;
constexpr ULONG SkipAllButUnicast = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER |
                                    GAA_FLAG_SKIP_FRIENDLY_NAME;  // 0x2E

// A query's buffer, 8-byte aligned for the records the system writes into it.
class TQueryBuffer {
public:
    TQueryBuffer() { Resize(InitialBufferSize); }
    void Resize(ULONG bytes) { storage_.assign((bytes + 7) / 8, 0); size_ = bytes; }
    template <class Record>
    Record* As() { return reinterpret_cast<Record*>(storage_.data()); }
    ULONG& Size() { return size_; }

private:
    std::vector<std::uint64_t> storage_;
    ULONG size_ = 0;
};

// Calls `query` until the system stops asking for a larger buffer.
template <class Query>
DWORD QueryGrowing(TQueryBuffer& buffer, DWORD askForMore, Query query)
{
    for (;;) {
        const DWORD result = query();
        if (result != askForMore)
            return result;
        buffer.Resize(buffer.Size());
    }
}

std::string DottedDecimal(const in_addr& address)
{
    std::array<char, INET_ADDRSTRLEN> text{};
    ::inet_ntop(AF_INET, &address, text.data(), text.size());
    return text.data();
}

void CollectPreferredIPv4(const IP_ADAPTER_ADDRESSES* adapter, std::vector<std::string>& addresses)
{
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
        if (unicast->DadState != IpDadStatePreferred || unicast->Address.lpSockaddr->sa_family != AF_INET)
            continue;
        addresses.push_back(DottedDecimal(reinterpret_cast<const sockaddr_in*>(unicast->Address.lpSockaddr)->sin_addr));
    }
}

std::vector<std::string> WalkAdapters(const IP_ADAPTER_ADDRESSES* first)
{
    std::vector<std::string> addresses;
    for (const IP_ADAPTER_ADDRESSES* adapter = first; adapter; adapter = adapter->Next) {
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK || (adapter->Flags & IP_ADAPTER_RECEIVE_ONLY) != 0)
            continue;
        CollectPreferredIPv4(adapter, addresses);
    }
    return addresses;
}

std::vector<std::string> ReceiveOnlyAddresses(const TAdapterFunctions& functions)
{
    if (!functions.receiveOnlyQuery)
        return {};
    auto* query = functions.getUniDirectionalAdapterInfo;
    TQueryBuffer buffer;
    const DWORD result = QueryGrowing(buffer, ERROR_MORE_DATA, [&] {
        return query ? query(buffer.As<IP_UNIDIRECTIONAL_ADAPTER_ADDRESS>(), &buffer.Size()) : ERROR_NOT_SUPPORTED;
    });
    if (result == ERROR_NOT_SUPPORTED || result == ERROR_NO_DATA)
        return {};
    if (result != NO_ERROR)
        throw TOSError(static_cast<int>(result));
    const auto* receiveOnly = buffer.As<IP_UNIDIRECTIONAL_ADAPTER_ADDRESS>();
    std::vector<std::string> texts;
    for (ULONG i = 0; i < receiveOnly->NumAdapters; ++i) {
        in_addr address{};
        address.s_addr = receiveOnly->Address[i];
        texts.push_back(DottedDecimal(address));
    }
    return texts;
}

std::vector<std::string> WalkAdapterInfo(const IP_ADAPTER_INFO* first, const std::vector<std::string>& receiveOnly)
{
    std::vector<std::string> addresses;
    for (const IP_ADAPTER_INFO* adapter = first; adapter; adapter = adapter->Next) {
        for (const IP_ADDR_STRING* entry = &adapter->IpAddressList; entry; entry = entry->Next) {
            const std::string text = entry->IpAddress.String;
            if (text.empty() || text == "0.0.0.0" ||
                std::find(receiveOnly.begin(), receiveOnly.end(), text) != receiveOnly.end())
                continue;
            addresses.push_back(text);
        }
    }
    return addresses;
}

std::vector<std::string> OlderAdapterQuery(const TAdapterFunctions& functions)
{
    auto* query = functions.getAdaptersInfo;
    TQueryBuffer buffer;
    const DWORD result = QueryGrowing(buffer, ERROR_BUFFER_OVERFLOW, [&] {
        return query ? query(buffer.As<IP_ADAPTER_INFO>(), &buffer.Size()) : ERROR_NOT_SUPPORTED;
    });
    if (result == ERROR_NOT_SUPPORTED || result == ERROR_NO_DATA || (result == NO_ERROR && buffer.Size() == 0))
        return {};
    if (result != NO_ERROR)
        throw TOSError(static_cast<int>(result));
    const std::vector<std::string> receiveOnly = ReceiveOnlyAddresses(functions);
    return WalkAdapterInfo(buffer.As<IP_ADAPTER_INFO>(), receiveOnly);
}

}  // namespace

std::vector<std::string> LocalAddressesFrom(const TAdapterFunctions& functions)
{
    auto* query = functions.getAdaptersAddresses;
    TQueryBuffer buffer;
    const DWORD result = QueryGrowing(buffer, ERROR_BUFFER_OVERFLOW, [&] {
        return query ? query(AF_UNSPEC, SkipAllButUnicast, nullptr, buffer.As<IP_ADAPTER_ADDRESSES>(), &buffer.Size())
                     : ERROR_NOT_SUPPORTED;
    });
    switch (result) {
    case NO_ERROR:
        return buffer.Size() == 0 ? std::vector<std::string>{} : WalkAdapters(buffer.As<IP_ADAPTER_ADDRESSES>());
    case ERROR_NO_DATA:
    case ERROR_ADDRESS_NOT_ASSOCIATED:
        return {};
    case ERROR_NOT_SUPPORTED:
        return OlderAdapterQuery(functions);
    default:
        throw TOSError(static_cast<int>(result));
    }
}

namespace {

template <class Function>
void Find(HMODULE module, Function*& function, const char* name)
{
    // Through the generic function pointer type, which every function
    // pointer may be cast to and back without a warning.
    function = module ? reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                      : nullptr;
}

}  // namespace

TIpHelperLibrary::TIpHelperLibrary() : module_(::LoadLibraryW(L"iphlpapi.dll"))
{
    Find(module_, functions_.getAdaptersAddresses, "GetAdaptersAddresses");
    Find(module_, functions_.getAdaptersInfo, "GetAdaptersInfo");
    Find(module_, functions_.getUniDirectionalAdapterInfo, "GetUniDirectionalAdapterInfo");
    functions_.receiveOnlyQuery = ::IsWindowsXPOrGreater();
    Find(module_, functions_.notifyUnicastIpAddressChange, "NotifyUnicastIpAddressChange");
    Find(module_, functions_.cancelMibChangeNotify2, "CancelMibChangeNotify2");
}

TIpHelperLibrary::~TIpHelperLibrary()
{
    if (module_)
        ::FreeLibrary(module_);
}

std::vector<std::string> LocalAddresses()
{
    const TIpHelperLibrary library;
    return LocalAddressesFrom(library.Functions());
}

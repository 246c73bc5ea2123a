#include "guarded_bytes.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

// The same layout as on POSIX: two pages, the second made inaccessible with
// VirtualProtect, the readable bytes ending right where it begins. A read
// past them raises an access violation, which ends the test.
TGuardedBytes::TGuardedBytes(std::span<const std::uint8_t> readable, std::size_t length)
    : length_(length)
{
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const std::size_t page = system.dwPageSize;
    if (readable.size() > page || length - readable.size() > page)
        throw std::invalid_argument("guarded datagram larger than a page");
    mappingSize_ = 2 * page;
    mapping_ = ::VirtualAlloc(nullptr, mappingSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (mapping_ == nullptr)
        throw std::runtime_error("VirtualAlloc failed");
    auto* guard = static_cast<std::uint8_t*>(mapping_) + page;
    auto* start = guard - readable.size();
    if (!readable.empty())
        std::memcpy(start, readable.data(), readable.size());
    DWORD previous = 0;
    if (!::VirtualProtect(guard, page, PAGE_NOACCESS, &previous)) {
        ::VirtualFree(mapping_, 0, MEM_RELEASE);
        throw std::runtime_error("VirtualProtect failed");
    }
    start_ = start;
}

TGuardedBytes::~TGuardedBytes()
{
    ::VirtualFree(mapping_, 0, MEM_RELEASE);
}

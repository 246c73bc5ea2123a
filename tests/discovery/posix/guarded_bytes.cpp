#include "guarded_bytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

TGuardedBytes::TGuardedBytes(std::span<const std::uint8_t> readable, std::size_t length)
    : length_(length)
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (readable.size() > page || length - readable.size() > page)
        throw std::invalid_argument("guarded datagram larger than a page");
    mappingSize_ = 2 * page;
    mapping_ = mmap(nullptr, mappingSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED)
        throw std::runtime_error("mmap failed");
    auto* guard = static_cast<std::uint8_t*>(mapping_) + page;
    auto* start = guard - readable.size();
    if (!readable.empty())
        std::memcpy(start, readable.data(), readable.size());
    mprotect(guard, page, PROT_NONE);
    start_ = start;
}

TGuardedBytes::~TGuardedBytes()
{
    munmap(mapping_, mappingSize_);
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// A datagram whose first `readable` bytes end right at an inaccessible page.
// Any read of a byte from `readable` on kills the test with SIGSEGV, so a
// passing test shows which bytes were never touched.
class TGuardedBytes {
public:
    TGuardedBytes(std::span<const std::uint8_t> readable, std::size_t length);
    ~TGuardedBytes();
    TGuardedBytes(const TGuardedBytes&) = delete;
    TGuardedBytes& operator=(const TGuardedBytes&) = delete;

    std::span<const std::uint8_t> Datagram() const { return {start_, length_}; }

private:
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    const std::uint8_t* start_ = nullptr;
    std::size_t length_ = 0;
};

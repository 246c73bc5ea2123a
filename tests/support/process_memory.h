#pragma once

#include <cstdint>

// A memory figure of this process from /proc/self/status, in bytes: "VmRSS"
// (resident now) or "VmHWM" (resident at most so far); 0 where there is no
// such figure.
std::int64_t ProcessMemoryBytes(const char* field);

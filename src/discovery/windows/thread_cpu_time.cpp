#include "discovery/thread_cpu_time.h"

#include <windows.h>

#include <cstdint>

namespace {

std::uint64_t HundredsOfNanoseconds(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// Windows counts a thread's time in whole clock ticks (about 15.6 ms), so
// a budget measured with it may run over by up to one tick.
std::chrono::nanoseconds ThreadCpuTime()
{
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user);
    return std::chrono::nanoseconds((HundredsOfNanoseconds(kernel) + HundredsOfNanoseconds(user)) * 100);
}

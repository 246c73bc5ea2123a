#include "discovery/thread_cpu_time.h"

#include <time.h>

std::chrono::nanoseconds ThreadCpuTime()
{
    timespec used{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return std::chrono::seconds(used.tv_sec) + std::chrono::nanoseconds(used.tv_nsec);
}

#include "process_memory.h"

#include <fstream>
#include <string>

std::int64_t ProcessMemoryBytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    const std::string wanted = std::string(field) + ':';
    std::string name;
    std::int64_t kilobytes = 0;
    while (status >> name) {
        if (name == wanted && status >> kilobytes)
            return kilobytes * 1024;
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

#include "process_threads.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>

std::vector<std::string> ThreadNames()
{
    std::vector<std::string> names;
    DIR* tasks = ::opendir("/proc/self/task");
    while (const dirent* task = ::readdir(tasks)) {
        std::ifstream comm(std::string("/proc/self/task/") + task->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name))
            names.push_back(name);
    }
    ::closedir(tasks);
    return names;
}

std::ptrdiff_t ListenerThreads()
{
    return std::ranges::count_if(ThreadNames(), [](const std::string& name) { return name.starts_with("IdUDPServer1"); });
}

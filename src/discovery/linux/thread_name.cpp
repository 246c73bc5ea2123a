#include "discovery/thread_name.h"

#include <pthread.h>

void NameCurrentThread(const std::string& /*name*/, const std::string& compactName)
{
    static constexpr std::size_t KernelNameLimit = 15;
    // The name only helps debugging; a refusal changes nothing else.
    pthread_setname_np(pthread_self(), compactName.substr(0, KernelNameLimit).c_str());
}

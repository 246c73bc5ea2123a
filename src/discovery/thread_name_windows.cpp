#include "discovery/thread_name.h"

#include <windows.h>

#include <string>

void NameCurrentThread(const std::string& name, const std::string& /*compactName*/)
{
    // Thread names are UTF-16 here; the listener's names are plain ASCII.
    const std::wstring wide(name.begin(), name.end());
    // The name only helps debugging; a refusal changes nothing else.
    SetThreadDescription(GetCurrentThread(), wide.c_str());
}

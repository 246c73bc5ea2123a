#include "discovery/thread_name.h"

#include <windows.h>

#include <string>

namespace {

using TSetThreadDescription = HRESULT WINAPI(HANDLE, PCWSTR);

// SetThreadDescription exists from Windows 10 1607 on: looked up at run
// time, so that the program still starts on older systems, unnamed.
TSetThreadDescription* SetThreadDescriptionFunction()
{
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return nullptr;
    return reinterpret_cast<TSetThreadDescription*>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel, "SetThreadDescription")));
}

}  // namespace

void NameCurrentThread(const std::string& name, const std::string& /*compactName*/)
{
    static TSetThreadDescription* const setThreadDescription = SetThreadDescriptionFunction();
    if (setThreadDescription == nullptr)
        return;
    // Thread names are UTF-16 here; the listener's names are plain ASCII.
    const std::wstring wide(name.begin(), name.end());
    // The name only helps debugging; a refusal changes nothing else.
    setThreadDescription(::GetCurrentThread(), wide.c_str());
}

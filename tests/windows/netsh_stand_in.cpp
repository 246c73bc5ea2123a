// netsh.exe for the installer test's Wine prefix (Wine's own netsh does
// nothing and says so): appends its command line, one line per call in
// UTF-8, to netsh-calls.txt in its own folder, prints "Ok." and succeeds, as
// Windows' netsh does when it adds or deletes a firewall rule.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::wstring CallsFile()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"netsh-calls.txt";
}

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size_t(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();  // the terminating NUL
    return bytes;
}

}  // namespace

int main()
{
    const std::unique_ptr<FILE, int (*)(FILE*)> calls(_wfopen(CallsFile().c_str(), L"ab"), &fclose);
    if (!calls)
        return 1;
    const std::string line = Utf8(GetCommandLineW()) + "\n";
    if (fwrite(line.data(), 1, line.size(), calls.get()) != line.size())
        return 1;
    std::puts("Ok.");
    return 0;
}

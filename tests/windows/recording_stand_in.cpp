// A Windows command for the installer test's Wine prefix, copied into
// system32 as netsh.exe and icacls.exe (Wine's own do nothing, or nothing
// but say so): appends its command line, one line per call in UTF-8, to
// <name>-calls.txt in its own folder, where <name> is its file name without
// ".exe", prints "Ok." and succeeds, as netsh does when it adds or deletes a
// firewall rule. With <name>-status.txt beside it, it fails instead, with
// the exit status written there: a command that Windows refuses.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using TFile = std::unique_ptr<FILE, int (*)(FILE*)>;

// This program's path without ".exe".
std::wstring OwnStem()
{
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), DWORD(path.size())));
    return path.substr(0, path.find_last_of(L'.'));
}

std::string Utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size_t(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();  // the terminating NUL
    return bytes;
}

// The exit status asked for in <name>-status.txt; 0 without that file.
int RequestedStatus(const std::wstring& stem)
{
    const TFile file(_wfopen((stem + L"-status.txt").c_str(), L"rb"), &fclose);
    int status = 0;
    if (file && std::fscanf(file.get(), "%d", &status) != 1)
        status = 1;
    return status;
}

}  // namespace

int main()
{
    const std::wstring stem = OwnStem();
    const TFile calls(_wfopen((stem + L"-calls.txt").c_str(), L"ab"), &fclose);
    if (!calls)
        return 1;
    const std::string line = Utf8(GetCommandLineW()) + "\n";
    if (fwrite(line.data(), 1, line.size(), calls.get()) != line.size())
        return 1;
    const int status = RequestedStatus(stem);
    if (status == 0)
        std::puts("Ok.");
    return status;
}

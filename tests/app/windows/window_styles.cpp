// window_styles TITLE: run under Wine (or Windows) beside the program; waits
// up to 30 seconds for the top-level window titled TITLE to show and checks
// that the desktop treats it as an application window: the taskbar shows a
// button for it and Alt+Tab lists it (no owner, and WS_EX_TOOLWINDOW absent
// or WS_EX_APPWINDOW beside it), and it has a caption with the system menu
// (its icon and the close button), no minimise or maximise button, and a
// sizing frame. Prints the styles; exit status 0 when all holds, 1 otherwise.
#include <windows.h>

#include <cstdio>

namespace {

bool Has(LONG_PTR styles, LONG_PTR wanted)
{
    return (styles & wanted) == wanted;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_styles TITLE\n");
        return 2;
    }
    // Shown: its styles are final by then.
    HWND window = nullptr;
    for (int i = 0; i < 300 && !(window && IsWindowVisible(window)); ++i) {
        window = FindWindowA(nullptr, argv[1]);
        if (!(window && IsWindowVisible(window)))
            Sleep(100);
    }
    if (!window) {
        std::printf("FAIL: no window titled %s\n", argv[1]);
        return 1;
    }
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR extended = GetWindowLongPtrW(window, GWL_EXSTYLE);
    const HWND owner = GetWindow(window, GW_OWNER);
    std::printf("style 0x%08llx, extended style 0x%08llx, owner %p\n", static_cast<unsigned long long>(style),
                static_cast<unsigned long long>(extended), static_cast<void*>(owner));
    bool good = true;
    const auto expect = [&](bool holds, const char* what) {
        if (!holds) {
            std::printf("FAIL: %s\n", what);
            good = false;
        }
    };
    expect(Has(extended, WS_EX_APPWINDOW) || (!Has(extended, WS_EX_TOOLWINDOW) && !owner),
           "no taskbar button or Alt+Tab entry (a tool window, or an owned one)");
    expect(Has(style, WS_CAPTION | WS_SYSMENU), "no caption with the system menu's icon and close button");
    expect(!(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)), "a minimise or maximise button");
    expect(Has(style, WS_THICKFRAME), "no sizing frame");
    return good ? 0 : 1;
}

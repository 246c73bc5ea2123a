// quorvel.exe as the installer test needs it: the program showing its error
// box. A main window titled "Quorvel" and, owned by it and above it, a modal
// box of the same title, as the real program shows when an error leaves a
// click handler. Like the real program, the main window ignores a close
// request while the box is open (Qt does so for a window that a modal box
// blocks); closing the box leaves the program running, and closing the main
// window then ends it with exit status 0.
#include <windows.h>

namespace {

constexpr UINT ShowBox = WM_APP;
constexpr wchar_t Title[] = L"Quorvel";

bool boxOpen = false;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case ShowBox:
        boxOpen = true;
        MessageBoxW(window, L"Address already in use.", Title, MB_OK | MB_ICONERROR);
        boxOpen = false;
        return 0;
    case WM_CLOSE:
        if (!boxOpen)
            DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuorvelStandIn";
    if (!RegisterClassW(&windowClass))
        return 1;
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, Title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    // The box comes from the running message loop, as a handler's does.
    PostMessageW(window, ShowBox, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return int(message.wParam);
}

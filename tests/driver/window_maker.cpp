// A program for the driver's window watch: makes the window its argument asks for and ends.
//   flash   a top-level window, shown for 30 ms
//   hidden  a top-level window that is never shown
//   none    no window at all

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR commandLine, int /*show*/) {
    const std::wstring mode = commandLine;
    if (mode == L"none") {
        Sleep(200);
        return 0;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"WindowMakerWindow";
    RegisterClassExW(&windowClass);
    const HWND window =
        CreateWindowExW(0, windowClass.lpszClassName, mode.c_str(), WS_OVERLAPPEDWINDOW, 10, 10,
                        200, 100, nullptr, nullptr, instance, nullptr);
    if (mode == L"flash") {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        Sleep(30);
    } else {
        Sleep(200);
    }
    DestroyWindow(window);
    return 0;
}

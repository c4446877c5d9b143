// CorelDRW.exe, the stand-in host. Started by COM (-Embedding) it serves the application
// object; /RegServer and /UnregServer write and remove its registration; started plainly it
// shows a window and keeps running, like a host that the user opened.

#include "base/executable_path.h"
#include "install/host/com_support.h"
#include "standin.h"

#include <shellapi.h>

#include <string_view>

namespace {

bool IsSwitch(std::wstring_view argument, std::wstring_view name) {
    if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-'))
        return false;
    argument.remove_prefix(1);
    return CompareStringOrdinal(argument.data(), static_cast<int>(argument.size()), name.data(),
                                static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int ShowWindowAndWait(HINSTANCE instance, int show, int version) {
    const std::wstring name = L"CorelDRAW " + tamrick::HostVersionDisplayName(version);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"CorelDRWStandIn";
    if (!RegisterClassExW(&windowClass))
        return 1;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, (name + L" (stand-in)").c_str(),
                                  WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    const std::wstring text = L"A stand-in for " + name +
                              L", for testing installers. Close it, or let an installer close it.";
    CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE, 16, 16, 430, 60, window,
                    nullptr, instance, nullptr);
    ShowWindow(window, show);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    const std::wstring exePath = tamrick::ExecutablePath();
    const std::wstring folder = exePath.substr(0, exePath.find_last_of(L'\\') + 1);

    int count = 0;
    const tamrick::UniqueLocal<LPWSTR*> arguments{CommandLineToArgvW(GetCommandLineW(), &count)};
    for (int i = 1; arguments && i < count; ++i) {
        const std::wstring_view argument = arguments.get()[i];
        if (IsSwitch(argument, L"RegServer") || IsSwitch(argument, L"UnregServer")) {
            // "/RegServer /OtherView" registers in the other width's registry view.
            const bool otherView = i + 1 < count && IsSwitch(arguments.get()[i + 1], L"OtherView");
            const tamrick::ComApartment apartment;
            const HRESULT hr = IsSwitch(argument, L"RegServer")
                                   ? standin::RegisterServer(exePath, folder, otherView)
                                   : standin::UnregisterServer(folder);
            return SUCCEEDED(hr) ? 0 : static_cast<int>(hr);
        }
        if (IsSwitch(argument, L"Embedding") || IsSwitch(argument, L"Automation"))
            return standin::Serve(folder);
    }
    return ShowWindowAndWait(instance, show, standin::LoadConfig(folder).version);
}

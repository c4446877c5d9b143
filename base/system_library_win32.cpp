#include "system_library.h"

#include <commctrl.h>

#include <string>

namespace tamrick {
namespace {

// Windows 8, and Windows 7 and Vista with their 2011 security update.
constexpr DWORD kSearchSystem32 = 0x00000800;    // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD kAlteredSearchPath = 0x00000008; // LOAD_WITH_ALTERED_SEARCH_PATH
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(const wchar_t*);

SetDefaultDllDirectoriesFn DefaultDirectoriesSetter() {
    return SystemFunction<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
}

} // namespace

void RestrictDllSearch() noexcept {
    if (const auto set_default = DefaultDirectoriesSetter();
        set_default != nullptr && set_default(kSearchSystem32)) {
        return;
    }
    // Older systems: at least the current folder leaves the search.
    if (const auto set_directory =
            SystemFunction<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW")) {
        set_directory(L"");
    }
}

HMODULE LoadSystemLibrary(const wchar_t* name) noexcept {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return nullptr;
    }
    std::wstring path(folder, length);
    path += L'\\';
    path += name;
    // The DLL's own imports are looked for beside it, in the system folder, rather than beside
    // the program.
    const DWORD flags =
        DefaultDirectoriesSetter() != nullptr ? kSearchSystem32 : kAlteredSearchPath;
    return LoadLibraryExW(path.c_str(), nullptr, flags);
}

bool LoadCommonControls(DWORD classes) noexcept {
    using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const HMODULE library = LoadLibraryW(L"comctl32.dll");
    const FARPROC address =
        library != nullptr ? GetProcAddress(library, "InitCommonControlsEx") : nullptr;
    if (address == nullptr) {
        return false;
    }
    const auto init =
        reinterpret_cast<InitCommonControlsExFn>(reinterpret_cast<void (*)()>(address));
    const INITCOMMONCONTROLSEX controls{sizeof(controls), classes};
    return init(&controls) != FALSE;
}

} // namespace tamrick

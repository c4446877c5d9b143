#pragma once
// Loading DLLs so that nothing planted beside the program runs: the program may be started,
// elevated, from a Downloads folder where anything lies beside it.

#include <windows.h>

namespace tamrick {

// Restricts the DLL search of the whole process to the system folder. The first thing a
// program of ours does, before any window, COM or picture code.
void RestrictDllSearch() noexcept;

// Loads a DLL of the system folder by its full path; nullptr where it is not there. Its own
// dependencies come from the system folder too.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// The common controls, version 6 as the manifest binds them, with the given classes registered.
// They are no known system DLL: imported, they would be looked for beside the program, with
// uxtheme after them, before any code of ours could restrict the search; loaded by name once it
// is, the manifest still binds them. They stay loaded for the life of the process, as an import
// would. False (with the last error set) when they can't be loaded.
bool LoadCommonControls(DWORD classes) noexcept;

// A function of a system DLL that the process already has loaded (kernel32, user32, ...), or
// nullptr where this Windows has no such function: how newer functions are reached on old
// systems.
template <typename Function> Function SystemFunction(const wchar_t* module, const char* name) {
    const HMODULE loaded = GetModuleHandleW(module);
    const FARPROC address = loaded != nullptr ? GetProcAddress(loaded, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}

} // namespace tamrick

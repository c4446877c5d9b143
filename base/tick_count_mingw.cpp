// The C++ runtime's thread support (winpthreads) imports GetTickCount64, which came with
// Windows Vista: on Windows XP that one import would keep the program from starting. Defining
// the import's address here takes the place of kernel32's, so the import table no longer
// names the function; the real one is called where this Windows has it.

#include "base/system_library.h"

#include <windows.h>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

// Windows XP: milliseconds from the performance counter, which never wraps.
ULONGLONG PerformanceCounterMilliseconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&now)) {
        return GetTickCount();
    }
    const auto ticks = static_cast<ULONGLONG>(now.QuadPart);
    const auto per_second = static_cast<ULONGLONG>(frequency.QuadPart);
    return ticks / per_second * 1000 + ticks % per_second * 1000 / per_second;
}

ULONGLONG WINAPI TickCount64() {
    static const TickCount64Fn real =
        tamrick::SystemFunction<TickCount64Fn>(L"kernel32.dll", "GetTickCount64");
    return real != nullptr ? real() : PerformanceCounterMilliseconds();
}

} // namespace

// The i686 name of the import's address slot.
extern "C" {
extern const TickCount64Fn tamrick_tick_count64_import __asm__("__imp__GetTickCount64@0");
const TickCount64Fn tamrick_tick_count64_import = TickCount64;
}

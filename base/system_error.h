#pragma once
// The one way from a failed system call to an Error: the number that the run's messages and the
// unhandled-error report go by, and the system's own text.

#include "base/error.h"

#include <windows.h>

namespace tamrick {

// A Win32 error code. The usual file errors keep their classic numbers (53 file not found,
// 76 path not found, 70 permission denied, 61 disk full, 58 file already exists); any other code
// is its HRESULT, so no failure is ever 0 or 429. A failure that left no code is still one.
Error ErrorFromWin32(DWORD code);
// The calling thread's last error, for the call that just failed.
Error ErrorFromLastError();

// The same, thrown: one call at each place that fails, rather than an Error built and thrown in
// line at every one of them.
[[noreturn]] void ThrowWin32(DWORD code);
[[noreturn]] void ThrowLastError();

// An HRESULT. Codes of FACILITY_CONTROL (0x800Axxxx, how automation servers raise numbers of
// their own) carry the number in their low word; any other HRESULT is its own number.
std::int32_t ErrorNumberForHresult(HRESULT hr);
Error ErrorFromHresult(HRESULT hr);
[[noreturn]] void ThrowHresult(HRESULT hr);

inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) {
        ThrowHresult(hr);
    }
}

} // namespace tamrick

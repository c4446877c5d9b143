#pragma once
// The window of held_back_window.exe, which the driver's tests capture.

#include <windows.h>

namespace tamrick::driver::test {

inline constexpr wchar_t kHeldBackClass[] = L"TamrickHeldBackWindow";
inline constexpr COLORREF kHeldBackColour = RGB(0x33, 0x66, 0xCC);
inline constexpr RECT kHeldBackRect{120, 90, 320, 190}; // screen coordinates

} // namespace tamrick::driver::test

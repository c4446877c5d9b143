#pragma once
// The owners of the system's handles that this code uses, all of one family
// (base/unique_resource.h). COM pointers are Microsoft::WRL::ComPtr.

#include "base/unique_resource.h"

#include <windows.h>

namespace tamrick {

// Kernel objects and directory searches. Some functions fail with nullptr, others with
// INVALID_HANDLE_VALUE: neither is ever closed.
template <auto CloseFunction> struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() noexcept { return nullptr; }
    static bool IsValid(Type handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }
    static void Close(Type handle) noexcept { CloseFunction(handle); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits<&::CloseHandle>>;
using UniqueFindHandle = UniqueResource<KernelHandleTraits<&::FindClose>>;

using UniqueModule = UniqueValue<HMODULE, &::FreeLibrary>;
using UniqueKey = UniqueValue<HKEY, &::RegCloseKey>;

template <typename T> using UniqueGdiObject = UniqueValue<T, &::DeleteObject>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
// A memory device context of CreateCompatibleDC.
using UniqueMemoryDc = UniqueValue<HDC, &::DeleteDC>;

inline void ReleaseScreenDc(HDC dc) noexcept {
    ::ReleaseDC(nullptr, dc);
}
// The screen's device context, GetDC(nullptr).
using UniqueScreenDc = UniqueValue<HDC, &ReleaseScreenDc>;

using UniqueIcon = UniqueValue<HICON, &::DestroyIcon>;

// Our windows keep their object in GWLP_USERDATA. It is cleared before the window goes, so the
// window procedure sees no object while the window is destroyed, however far its object got.
inline void DestroyOwnWindow(HWND window) noexcept {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
}
using UniqueWindow = UniqueValue<HWND, &DestroyOwnWindow>;

// Memory that a system function allocated with LocalAlloc or GlobalAlloc.
template <typename T> using UniqueLocal = UniqueValue<T, &::LocalFree>;
using UniqueGlobal = UniqueValue<HGLOBAL, &::GlobalFree>;

} // namespace tamrick

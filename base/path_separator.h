#pragma once
// A folder's trailing separator, which the program's folders carry so that a name is simply
// appended to them.

#include <string>

namespace tamrick {

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// A slash separates on Windows too: the system takes both, and so may a host's answer.
constexpr bool IsPathSeparator(wchar_t c, wchar_t separator = kPathSeparator) {
    return c == separator || c == L'/';
}

// Appends `separator` unless the folder already ends in one (a drive's root, "C:\", keeps its
// own; never two). An empty folder is the current one and stays empty: "\" would be the root.
inline void EnsureTrailingSeparator(std::wstring& folder, wchar_t separator = kPathSeparator) {
    if (!folder.empty() && !IsPathSeparator(folder.back(), separator)) {
        folder.push_back(separator);
    }
}

} // namespace tamrick

#pragma once
// Case folding, one way for each need:
// - ASCII letters alone, for names that are ASCII by definition (switches, keys, version and
//   device names): the same in every language, with no call to the system;
// - every letter, as the platform's Unicode tables have it and whatever the user's language,
//   for what a person may write in any script (file names, the description's keys and targets).

#include <algorithm>
#include <string>
#include <string_view>

namespace tamrick {

constexpr wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

constexpr wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - (L'a' - L'A')) : c;
}

inline std::wstring ToLowerAscii(std::wstring_view text) {
    std::wstring out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
}

constexpr bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

// Lower case of every letter; implemented once per platform.
std::wstring ToLowerText(std::wstring_view text);

} // namespace tamrick
